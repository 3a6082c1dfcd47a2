#include "app/ProfilePanel.h"

#include <QCoreApplication>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QStringList>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "host/LonStrings.h"
#include "sim/InstrumentProfile.h"

namespace {

QString yesNo(bool value)
{
    return value ? QCoreApplication::translate("ProfilePanel", "yes")
                 : QCoreApplication::translate("ProfilePanel", "no");
}

QLabel* valueLabel(QString const& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    return label;
}

} // namespace

ProfilePanel::ProfilePanel(InstrumentProfile const& profile, QString const& instrumentFile, QWidget* parent)
    : QWidget(parent)
{
    auto* form = new QFormLayout;
    form->addRow(tr("Profile"), valueLabel(profile.name, this));
    form->addRow(tr("Description"), valueLabel(profile.description, this));
    form->addRow(tr("Network type"), valueLabel(QString::number(profile.networkType), this));
    form->addRow(tr("Hardware"), valueLabel(QString::number(profile.hardware), this));
    form->addRow(tr("Version"), valueLabel(profile.hardwareVersion, this));
    form->addRow(tr("HV DC control"), valueLabel(yesNo(profile.hvDcControl), this));
    form->addRow(tr("Adapter"),
        valueLabel(tr("HV level %1, high power %2, 60 kV/25 uF %3")
                       .arg(profile.adapterHvLevel)
                       .arg(yesNo(profile.adapterHighPower), yesNo(profile.adapter60kV25uF)),
            this));
    form->addRow(tr("Memory file"), valueLabel(instrumentFile, this));

    auto* nodes = new QTreeWidget(this);
    nodes->setObjectName(QStringLiteral("profileNodes"));
    nodes->setRootIsDecorated(false);
    nodes->setHeaderLabels({tr("Node"), tr("Name"), tr("Versions")});
    for (InstrumentProfile::Node const& node : profile.nodes) {
        QStringList versions;
        for (unsigned short version : node.versions)
            versions << QStringLiteral("0x%1").arg(version, 3, 16, QLatin1Char('0'));
        nodes->addTopLevelItem(new QTreeWidgetItem(
            {QString::number(node.number), LonStrings::getNodeName(node.number), versions.join(QStringLiteral(", "))}));
    }
    nodes->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto* note = new QLabel(tr("Another instrument: restart with --profile NAME (--list-profiles lists them)."), this);
    note->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(nodes, 1);
    layout->addWidget(note);
}

ProfilePanel::~ProfilePanel() = default;
