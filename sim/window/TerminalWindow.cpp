#include "TerminalWindow.h"
#include "ui_TerminalWindow.h"

#include "EngineBridge.h"
#include "EvaluatorScreen.h"
#include "IdleScreen.h"
#include "InfoScreen.h"
#include "KeypadScreen.h"
#include "SignatureScreen.h"
#include "StatePanel.h"
#include "TerminalSnapshot.h"
#include "TourPictures.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>

TerminalWindow::TerminalWindow(tlxsim::Engine& engine, bool live,
                               std::function<void(const std::string&)> alsoLog, QWidget* parent)
    : QWidget(parent),
      ui(new Ui::TerminalWindow),
      m_engine(engine),
      m_live(live),
      m_bridge(new EngineBridge(engine, std::move(alsoLog), this)),
      m_idle(new IdleScreen),
      m_info(new InfoScreen),
      m_evaluator(new EvaluatorScreen),
      m_keypad(new KeypadScreen),
      m_signature(new SignatureScreen),
      m_dark(new QWidget) {
  ui->setupUi(this);
  m_dark->setObjectName(QStringLiteral("DarkScreen"));
  m_dark->setAttribute(Qt::WA_StyledBackground);
  for (QWidget* w : {static_cast<QWidget*>(m_idle), static_cast<QWidget*>(m_info),
                     static_cast<QWidget*>(m_evaluator), static_cast<QWidget*>(m_keypad),
                     static_cast<QWidget*>(m_signature), m_dark})
    ui->StackScreen->addWidget(w);
  ui->StackScreen->setCurrentWidget(m_idle);
  ui->LabelCustomer->setText(live ? tr("请在此窗口上作答（您就是客户）")
                                  : tr("模拟客户作答，本窗口只显示"));

  for (PromptScreen* s :
       {static_cast<PromptScreen*>(m_info), static_cast<PromptScreen*>(m_evaluator),
        static_cast<PromptScreen*>(m_keypad), static_cast<PromptScreen*>(m_signature)})
    connect(s, &PromptScreen::answered, this, &TerminalWindow::answer);
  connect(m_signature, &SignatureScreen::signedOff, this, &TerminalWindow::sign);
  connect(m_bridge, &EngineBridge::promptStarted, this, &TerminalWindow::promptStarted);
  connect(m_bridge, &EngineBridge::promptEnded, this, &TerminalWindow::promptEnded);
  connect(m_bridge, &EngineBridge::logLine, this, &TerminalWindow::logLine);
  // The wire pane follows new lines until the user scrolls up, also when a
  // long line brings the horizontal scroll bar and so moves the end.
  QScrollBar* wireBar = ui->EditWire->verticalScrollBar();
  connect(wireBar, &QScrollBar::valueChanged, this,
          [this, wireBar](int value) { m_followWire = value >= wireBar->maximum(); });
  connect(wireBar, &QScrollBar::rangeChanged, this, [this, wireBar](int, int max) {
    if (m_followWire) wireBar->setValue(max);
  });

  // The state is read again shortly after the wire was busy.
  m_refresh.setSingleShot(true);
  m_refresh.setInterval(100);
  connect(&m_refresh, &QTimer::timeout, this, &TerminalWindow::refreshState);
  m_darkTimer.setSingleShot(true);
  m_darkTimer.setInterval(kRestartDarkMs);
  connect(&m_darkTimer, &QTimer::timeout, this, [this] {
    if (!m_current) showIdle();
  });

  m_engine.SetLiveCustomer(live);
  refreshState();
}

TerminalWindow::~TerminalWindow() {
  // Without the window the scripted customer answers again.
  if (m_live) m_engine.SetLiveCustomer(false);
  delete ui;
}

StatePanel* TerminalWindow::statePanel() const { return ui->PanelState; }

quint64 TerminalWindow::currentPrompt() const { return m_current ? m_current->promptId() : 0; }

bool TerminalWindow::dark() const { return ui->StackScreen->currentWidget() == m_dark; }

QStringList TerminalWindow::wireLines() const {
  QStringList lines;
  const QTextDocument* doc = ui->EditWire->document();
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
    if (!b.text().isEmpty()) lines << b.text();
  return lines;
}

void TerminalWindow::takePictures(const QString& dir) {
  delete m_pictures;
  m_pictures = new TourPictures(this, dir, this);
}

PromptScreen* TerminalWindow::screenFor(tlxsim::PromptKind kind) const {
  switch (kind) {
    case tlxsim::PromptKind::Info:
      return m_info;
    case tlxsim::PromptKind::Evaluator:
      return m_evaluator;
    case tlxsim::PromptKind::Sign:
      return m_signature;
    default:
      return m_keypad;
  }
}

void TerminalWindow::showIdle() {
  m_current = nullptr;
  ui->StackScreen->setCurrentWidget(m_darkTimer.isActive() ? m_dark : m_idle);
}

void TerminalWindow::promptStarted(const tlxsim::Prompt& prompt) {
  PromptScreen* screen = screenFor(prompt.kind);
  if (m_current && m_current != screen)
    m_current->finish(static_cast<int>(tlxsim::PromptEnd::Cancelled));
  if (m_pictures && m_current) m_pictures->promptEnded(m_current->promptId());
  m_current = screen;
  screen->start(prompt);
  ui->StackScreen->setCurrentWidget(screen);
  if (prompt.kind != tlxsim::PromptKind::Sign) screen->setFocus();
  if (m_pictures) m_pictures->promptShown(prompt);
}

void TerminalWindow::promptEnded(quint64 id, int end) {
  if (!m_current || m_current->promptId() != id) return;
  m_current->finish(end);
  if (m_pictures) m_pictures->promptEnded(id);
  QTimer::singleShot(kEndShownMs, this, [this, id] {
    if (m_current && m_current->promptId() == id) showIdle();
  });
}

void TerminalWindow::answer(quint64 id, const QString& value) {
  const QByteArray v = value.toLatin1();
  if (m_engine.AnswerPrompt(id, std::string(v.constData(), static_cast<size_t>(v.size())))) {
    if (m_current && m_current->promptId() == id)
      m_current->finish(static_cast<int>(tlxsim::PromptEnd::Answered));
  } else if (m_current && m_current->promptId() == id) {
    m_current->refused();
  }
}

void TerminalWindow::sign(quint64 id, const std::vector<tlxsim::Stroke>& strokes) {
  if (m_engine.AnswerSignature(id, strokes))
    m_signature->finish(static_cast<int>(tlxsim::PromptEnd::Answered));
  else
    m_signature->refused();
}

void TerminalWindow::logLine(const QString& line) {
  const bool follow = m_followWire;
  ui->EditWire->appendPlainText(line);
  if (follow) {
    QScrollBar* bar = ui->EditWire->verticalScrollBar();
    bar->setValue(bar->maximum());
    m_followWire = true;
  }
  if (!m_refresh.isActive()) m_refresh.start();
}

void TerminalWindow::setCompact(bool compact) {
  if (compact == this->compact()) return;
  // The screen's frame, its padding and the window's margins shrink; the
  // customer screens keep the sizes of their keys and signing area.
  static const QString kFrame = ui->FrameScreen->styleSheet();
  static const QMargins kScreenMargins = ui->layoutScreen->contentsMargins();
  static const QMargins kWindowMargins = ui->layoutWindow->contentsMargins();
  m_signature->setCompact(compact);
  if (compact) {
    ui->FrameScreen->setMinimumSize(0, 0);
    ui->FrameScreen->setStyleSheet(QStringLiteral(
        "QFrame#FrameScreen { background: #263238; border-radius: 4px; padding: 0px; }"));
    ui->layoutScreen->setContentsMargins(4, 4, 4, 4);
    ui->layoutWindow->setContentsMargins(4, 4, 4, 4);
    m_compactTabs = new QTabWidget(this);
    m_compactTabs->setObjectName(QStringLiteral("TabsCompact"));
    ui->layoutTop->removeWidget(ui->PanelState);
    ui->layoutWindow->removeWidget(ui->GroupWire);
    // The state panel scrolls in its tab rather than taking the height
    // the screen needs.
    auto* scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("ScrollState"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(ui->PanelState);
    m_compactTabs->addTab(scroll, tr("状态"));
    m_compactTabs->addTab(ui->GroupWire, tr("线路"));
    ui->layoutWindow->addWidget(m_compactTabs);
    ui->layoutWindow->setStretch(0, 3);
    ui->layoutWindow->setStretch(1, 2);
  } else {
    ui->layoutWindow->removeWidget(m_compactTabs);
    auto* scroll = m_compactTabs->findChild<QScrollArea*>(QStringLiteral("ScrollState"));
    ui->layoutTop->addWidget(scroll->takeWidget());
    ui->layoutWindow->addWidget(ui->GroupWire);
    ui->layoutWindow->setStretch(0, 0);
    ui->layoutWindow->setStretch(1, 0);
    delete m_compactTabs;
    m_compactTabs = nullptr;
    ui->FrameScreen->setStyleSheet(kFrame);
    ui->layoutScreen->setContentsMargins(kScreenMargins);
    ui->layoutWindow->setContentsMargins(kWindowMargins);
    ui->FrameScreen->setMinimumSize(640, 440);
  }
  layout()->activate();
}

void TerminalWindow::refreshState() {
  const tlxsim::TerminalSnapshot s = tlxsim::TakeSnapshot(m_engine);
  ui->PanelState->setState(s);
  m_idle->setModel(QString::fromStdString(s.model));
  m_idle->setAdvert(QString::fromStdString(s.advertFile));
  // A restart: the screen goes dark for a moment.
  if (m_restarts >= 0 && s.restarts > m_restarts) {
    m_darkTimer.start();
    if (!m_current) ui->StackScreen->setCurrentWidget(m_dark);
  }
  m_restarts = s.restarts;
}
