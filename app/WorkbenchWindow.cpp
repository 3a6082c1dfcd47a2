#include "app/WorkbenchWindow.h"

#include <QAction>
#include <QChildEvent>
#include <QDesktopServices>
#include <QDockWidget>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QResizeEvent>
#include <QScreen>
#include <QStatusBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/HostEnvironment.h"
#include "app/OtherModulesPanel.h"
#include "app/ParameterPanel.h"
#include "app/ProfilePanel.h"
#include "app/ServiceLogPanel.h"
#include "app/SessionPanel.h"
#include "app/StatePanel.h"
#include "app/StickChooser.h"
#include "app/TrafficPanel.h"
#include "host/DialogWindow.h"
#include "host/LoggingCtrl.h"
#include "host/MenuStrip.h"

namespace {

constexpr int kWidth = 1500;
constexpr int kHeight = 950;
constexpr int kSideDockWidth = 300;
constexpr int kBottomDockHeight = 220;

} // namespace

WorkbenchWindow::WorkbenchWindow(HostEnvironment& host, QWidget* parent)
    : QMainWindow(parent)
    , m_host(host)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(tr("LON calibration workbench - %1").arg(host.profile().name));

    auto* central = new QWidget(this);
    m_menu = new MenuStrip(central);
    m_menu->setObjectName(QStringLiteral("serviceMenu"));
    auto* stage = new QFrame(central);
    stage->setObjectName(QStringLiteral("stage"));
    stage->setFrameShape(QFrame::StyledPanel);
    auto* hint = new QLabel(tr("Service menu \"/lon\": switch Calibration on, then open a node's dialog."), stage);
    hint->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    hint->setEnabled(false);
    auto* stageLayout = new QVBoxLayout(stage);
    stageLayout->addWidget(hint);
    stageLayout->addStretch();
    m_stage = stage;

    // Files the host could not write: shown until the window closes, since the
    // data they should hold is not where the user expects it.
    m_warning = new QLabel(central);
    m_warning->setObjectName(QStringLiteral("fileWarning"));
    m_warning->setWordWrap(true);
    m_warning->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_warning->setStyleSheet(QStringLiteral("QLabel { background: #b00020; color: white; padding: 4px; }"));
    m_warning->hide();
    connect(&host, &HostEnvironment::fileFailed, this, &WorkbenchWindow::showFileFailure);

    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_warning);
    layout->addWidget(m_menu);
    layout->addWidget(stage, 1);
    setCentralWidget(central);

    m_traffic = new TrafficPanel(&host.lon(), this);
    m_log = new ServiceLogPanel(getLogger(), this);
    QDockWidget* traffic
        = addPanel(tr("LON traffic"), QStringLiteral("trafficDock"), m_traffic, Qt::BottomDockWidgetArea);
    QDockWidget* log = addPanel(tr("Service log"), QStringLiteral("serviceLogDock"), m_log, Qt::BottomDockWidgetArea);
    splitDockWidget(traffic, log, Qt::Horizontal);
    QDockWidget* parameters = addPanel(tr("Host parameters"), QStringLiteral("parameterDock"),
        new ParameterPanel(&host.parameters(), this), Qt::RightDockWidgetArea);
    QDockWidget* state = addPanel(tr("State machine"), QStringLiteral("stateDock"),
        new StatePanel(&host.stateMachine(), this), Qt::RightDockWidgetArea);
    splitDockWidget(parameters, state, Qt::Vertical);
    QDockWidget* profile = addPanel(tr("Instrument"), QStringLiteral("profileDock"),
        new ProfilePanel(host.profile(), host.instrumentFile(), this), Qt::RightDockWidgetArea);
    splitDockWidget(state, profile, Qt::Vertical);
    m_otherModules
        = new OtherModulesPanel(&host.journal(), host.stick().directory(), host.printOutput().directory(), this);
    QDockWidget* others
        = addPanel(tr("Other modules"), QStringLiteral("otherModulesDock"), m_otherModules, Qt::BottomDockWidgetArea);
    splitDockWidget(log, others, Qt::Horizontal);
    m_session = new SessionPanel(&host.session(), host.printOutput().directory(), this);
    QDockWidget* session
        = addPanel(tr("Session"), QStringLiteral("sessionDock"), m_session, Qt::BottomDockWidgetArea);
    tabifyDockWidget(traffic, session);
    traffic->raise();
    // A session that opens is what the user works on next.
    connect(&host.session(), &CalibrationSession::opened, session, &QDockWidget::raise);
    connect(&host.journal(), &ModuleJournal::recorded, m_traffic, &TrafficPanel::addNote);
    connect(&host.stick(), &StickModule::loadRequested, this, &WorkbenchWindow::chooseStickFile);

    // Where the latest print went, and the way to it.
    m_printed = new QLabel(tr("Prints go to %1").arg(host.printOutput().directory()), this);
    m_printed->setObjectName(QStringLiteral("printStatus"));
    m_printed->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_openPrints = new QToolButton(this);
    m_openPrints->setObjectName(QStringLiteral("openPrints"));
    m_openPrints->setText(tr("Open folder"));
    connect(m_openPrints, &QToolButton::clicked, this,
        [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(m_host.printOutput().directory())); });
    statusBar()->addWidget(m_printed, 1);
    statusBar()->addPermanentWidget(m_openPrints);
    connect(&host.printOutput(), &PrintOutput::saved, this, &WorkbenchWindow::showPrint);
    resizeDocks({parameters}, {kSideDockWidth}, Qt::Horizontal);
    resizeDocks({traffic}, {kBottomDockHeight}, Qt::Vertical);
    m_sideDock = parameters;
    m_bottomDock = traffic;
    m_sideWidth = kSideDockWidth;
    m_bottomHeight = kBottomDockHeight; // childEvent() has them watched already
    // The journal lines of the other modules need about as much room as the log's.
    resizeDocks({traffic, log, others}, {kWidth * 2 / 5, kWidth * 3 / 10, kWidth * 3 / 10}, Qt::Horizontal);

    auto* quit = new QAction(tr("Quit"), this);
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &QWidget::close);
    addAction(quit);

    // A desktop screen may be smaller; the offscreen one is only a stand-in.
    QSize size(kWidth, kHeight);
    QScreen const* screen = QGuiApplication::primaryScreen();
    if (screen != nullptr && QGuiApplication::platformName() != QLatin1String("offscreen"))
        size = size.boundedTo(screen->availableSize());
    resize(size);
}

WorkbenchWindow::~WorkbenchWindow() = default;

void WorkbenchWindow::showFileFailure(QString const& message)
{
    QStringList lines = m_warning->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!lines.contains(message))
        lines.append(message);
    m_warning->setText(lines.join(QLatin1Char('\n')));
    m_warning->show();
}

QDockWidget* WorkbenchWindow::addPanel(
    QString const& title, QString const& name, QWidget* panel, Qt::DockWidgetArea area)
{
    auto* dock = new QDockWidget(title, this);
    dock->setObjectName(name);
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    dock->setWidget(panel);
    addDockWidget(area, dock);
    return dock;
}

void WorkbenchWindow::childEvent(QChildEvent* event)
{
    // The module's dialogs are direct children; watch them to place them when shown.
    if (event->added())
        event->child()->installEventFilter(this);
    QMainWindow::childEvent(event);
}

void WorkbenchWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    // The layout has already shared the change out among the docks; the stage
    // takes it all instead.
    m_laidOutSize = event->size();
    // A dock moved elsewhere or floating has no width or height to keep here.
    if (isDocked(m_sideDock, Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea))
        resizeDocks({m_sideDock}, {m_sideWidth}, Qt::Horizontal);
    if (isDocked(m_bottomDock, Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea))
        resizeDocks({m_bottomDock}, {m_bottomHeight}, Qt::Vertical);
}

bool WorkbenchWindow::isDocked(QDockWidget* dock, Qt::DockWidgetAreas areas) const
{
    return dock != nullptr && !dock->isFloating() && (areas & dockWidgetArea(dock)) != 0;
}

bool WorkbenchWindow::eventFilter(QObject* watched, QEvent* event)
{
    // A dock resized while the window keeps its size: the user dragged it.
    if (event->type() == QEvent::Resize && size() == m_laidOutSize) {
        if (watched == m_sideDock && isDocked(m_sideDock, Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea))
            m_sideWidth = m_sideDock->width();
        else if (watched == m_bottomDock && isDocked(m_bottomDock, Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea))
            m_bottomHeight = m_bottomDock->height();
    }
    if (event->type() == QEvent::Show) {
        if (auto* dialog = qobject_cast<DialogWindow*>(watched))
            placeDialog(dialog);
    }
    return QMainWindow::eventFilter(watched, event);
}

void WorkbenchWindow::showPrint(QString const& file)
{
    m_printed->setText(tr("Printed %1 to %2").arg(QFileInfo(file).fileName(), QFileInfo(file).absolutePath()));
}

void WorkbenchWindow::chooseStickFile()
{
    StickModule& stick = m_host.stick();
    // Not modal to the module: it asked and returned; the answer comes later.
    auto* chooser = new StickChooser(stick.directory(), stick.calibrationFiles(), this);
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    connect(chooser, &QDialog::accepted, this, [this, chooser] {
        QString const file = chooser->chosenFile();
        QString error;
        if (file.isEmpty() || m_host.stick().importFile(file, &error))
            return;
        m_host.journal().record(QStringLiteral("stick: refused %1").arg(error));
        auto* refusal = new QMessageBox(QMessageBox::Warning, tr("Load from USB stick"), error, QMessageBox::Ok, this);
        refusal->setAttribute(Qt::WA_DeleteOnClose);
        refusal->open();
    });
    chooser->open();
}

void WorkbenchWindow::placeDialog(QWidget* dialog)
{
    QRect const stage(m_stage->mapTo(this, QPoint(0, 0)), m_stage->size());
    QPoint corner = stage.center() - QPoint(dialog->width() / 2, dialog->height() / 2);
    corner.setX(qBound(0, corner.x(), qMax(0, width() - dialog->width())));
    corner.setY(qBound(0, corner.y(), qMax(0, height() - dialog->height())));
    dialog->move(corner);
}
