#include "app/StickChooser.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kWidth = 560;
constexpr int kHeight = 360;

} // namespace

StickChooser::StickChooser(QString const& stickDirectory, QFileInfoList const& files, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("stickChooser"));
    setWindowTitle(tr("Load from USB stick"));

    auto* where = new QLabel(files.isEmpty() ? tr("No calibration file (*.xml) on the stick %1.").arg(stickDirectory)
                                             : tr("Calibration files on the stick %1:").arg(stickDirectory),
        this);
    where->setWordWrap(true);
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_files = new QTreeWidget(this);
    m_files->setObjectName(QStringLiteral("stickFiles"));
    m_files->setRootIsDecorated(false);
    m_files->setHeaderLabels({tr("File"), tr("Size"), tr("Date")});
    QLocale const locale;
    for (QFileInfo const& file : files) {
        auto* row = new QTreeWidgetItem(m_files,
            {file.fileName(), locale.formattedDataSize(file.size()),
                locale.toString(file.lastModified(), QLocale::ShortFormat)});
        row->setData(0, kPathRole, file.absoluteFilePath());
        row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    }
    m_files->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    if (m_files->topLevelItemCount() > 0)
        m_files->setCurrentItem(m_files->topLevelItem(0));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);
    QPushButton* open = buttons->button(QDialogButtonBox::Open);
    open->setEnabled(m_files->currentItem() != nullptr);
    connect(m_files, &QTreeWidget::currentItemChanged, open,
        [open](QTreeWidgetItem* current) { open->setEnabled(current != nullptr); });
    connect(m_files, &QTreeWidget::itemActivated, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(where);
    layout->addWidget(m_files, 1);
    layout->addWidget(buttons);
    resize(kWidth, kHeight);
}

StickChooser::~StickChooser() = default;

QString StickChooser::chosenFile() const
{
    QTreeWidgetItem const* current = m_files->currentItem();
    return current != nullptr ? current->data(0, kPathRole).toString() : QString();
}
