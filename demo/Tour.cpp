#include "Tour.h"

#include "MainDialog.h"
#include "VirtualTerminalCheck.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QModelIndex>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTextBlock>
#include <QTextStream>

#include <cstdio>

namespace {

const int kPollMs = 50;

// The keys the tour loads: test keys for the virtual terminal only (the
// forms hold none). The work key is given encrypted under the master key.
const char kTourOldMasterKey[] = "2938475610293847";
const char kTourNewMasterKey[] = "6152803947261538";
const char kTourWorkKey[] = "4726150938471625";
const int kStepTimeoutMs = 30000;

// A one-page PDF with a line of text: the document the customer signs.
const char kSignDocument[] =
    "%PDF-1.4\n"
    "1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
    "2 0 obj << /Type /Pages /Kids [3 0 R] /Count 1 >> endobj\n"
    "3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 300 144] /Contents 4 0 R "
    "/Resources << /Font << /F1 5 0 R >> >> >> endobj\n"
    "4 0 obj << /Length 44 >> stream\n"
    "BT /F1 18 Tf 20 70 Td (Please sign here) Tj ET\n"
    "endstream endobj\n"
    "5 0 obj << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> endobj\n"
    "trailer << /Root 1 0 R >>\n"
    "%%EOF\n";

}  // namespace

Tour::Tour(MainDialog* window, const QString& dir, QObject* parent)
    : QObject(parent),
      m_window(window),
      m_log(window->findChild<QPlainTextEdit*>(QStringLiteral("EditLog"))),
      m_dir(QDir(dir).absolutePath()) {
  m_timer.setInterval(kPollMs);
  connect(&m_timer, &QTimer::timeout, this, &Tour::poll);
}

bool Tour::prepareFiles() {
  if (!QDir().mkpath(m_dir)) return false;
  QFile::remove(m_dir + QStringLiteral("/advert.png"));
  if (!QFile::copy(QStringLiteral(":/new/prefix1/res/banner.png"),
                   m_dir + QStringLiteral("/advert.png")))
    return false;
  QFile info(m_dir + QStringLiteral("/info.txt"));
  if (!info.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  info.write(
      QStringLiteral("尊敬的客户：您本次办理的业务为活期存款，金额 1000.00 元，请确认。").toUtf8());
  info.close();
  QFile document(m_dir + QStringLiteral("/hwBack.pdf"));
  if (!document.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  document.write(kSignDocument, sizeof(kSignDocument) - 1);
  return true;
}

QString Tour::stepStem(size_t index) const {
  return QStringLiteral("%1-%2")
      .arg(static_cast<int>(index) + 1, 2, 10, QLatin1Char('0'))
      .arg(m_steps[index].name);
}

void Tour::markStep(const QString& stem) {
  // The terminal window, when it takes pictures into the same directory,
  // names its picture of this step after it ("13-info-terminal.png").
  QFile mark(m_dir + QStringLiteral("/tour-step.txt"));
  if (stem.isEmpty()) {
    mark.remove();
    return;
  }
  if (mark.open(QIODevice::WriteOnly | QIODevice::Truncate)) mark.write(stem.toUtf8() + '\n');
}

void Tour::click(const char* buttonName) {
  if (auto* button = m_window->findChild<QAbstractButton*>(QLatin1String(buttonName)))
    button->click();
}

void Tour::setText(const char* editName, const QString& text) {
  if (auto* edit = m_window->findChild<QLineEdit*>(QLatin1String(editName))) edit->setText(text);
}

void Tour::setIndex(const char* comboName, int index) {
  if (auto* combo = m_window->findChild<QComboBox*>(QLatin1String(comboName)))
    combo->setCurrentIndex(index);
}

void Tour::buildSteps() {
  auto add = [this](const QString& name, int row, std::function<void()> act,
                    const QString& success) {
    m_steps.push_back(Step{name, row, std::move(act), success, kStepTimeoutMs});
  };
  add(
      QStringLiteral("online"), 0, [this] { click("BtnCheckDev"); },
      QStringLiteral(">>>检测设备成功："));
  add(
      QStringLiteral("version"), 0, [this] { click("BtnGetVer"); },
      QStringLiteral(">>>获取版本成功："));
  add(
      QStringLiteral("volume"), 0,
      [this] {
        setIndex("CbxVolType", 2);
        if (auto* slider = m_window->findChild<QSlider*>(QStringLiteral("SldVol")))
          slider->setValue(8);
        click("BtnVolSet");
      },
      QStringLiteral(">>>设置音量成功"));
  add(
      QStringLiteral("download"), 0,
      [this] {
        setIndex("CbxMediaType", 0);
        setText("EditMediaDwnPath", m_dir + QStringLiteral("/advert.png"));
        click("BtnMediaDwn");
      },
      QStringLiteral(">>>下载文件成功"));
  add(
      QStringLiteral("filelist"), 0, [this] { click("BtnGetMdiaList"); },
      QStringLiteral(">>>获取多媒体文件列表成功，"));
  add(
      QStringLiteral("keyinit"), 1, [this] { click("BtnInit"); },
      QStringLiteral(">>>密钥初始化完成"));
  add(
      QStringLiteral("masterkey"), 1,
      [this] {
        setText("EditOldMK", QLatin1String(kTourOldMasterKey));
        setText("EditNewMK", QLatin1String(kTourNewMasterKey));
        click("BtnDwnMK");
      },
      QStringLiteral(">>>主密钥下载成功"));
  add(
      QStringLiteral("workkey"), 1,
      [this] {
        setText("EditWK", QLatin1String(kTourWorkKey));
        click("BtnDwnWK");
      },
      QStringLiteral(">>>工作密钥下载成功"));
  add(
      QStringLiteral("activate"), 1, [this] { click("BtnActWK"); },
      QStringLiteral(">>>工作密钥激活成功"));
  add(
      QStringLiteral("pin-plain"), 1, [this] { click("BtnStart"); },
      QStringLiteral(">>>密码输入完成："));
  add(
      QStringLiteral("pin-des"), 1, [this] { click("BtnStartEnc"); },
      QStringLiteral(">>>密码输入完成："));
  add(
      QStringLiteral("pin-ansi"), 1, [this] { click("BtnStartAnsi"); },
      QStringLiteral(">>>密码输入完成："));
  add(
      QStringLiteral("info"), 2,
      [this] {
        setText("EditInfoPath", m_dir + QStringLiteral("/info.txt"));
        click("pushButton_40");
      },
      QStringLiteral(">>>交互完成："));
  add(
      QStringLiteral("signature"), 2,
      [this] {
        setText("EditSignPath", m_dir + QStringLiteral("/hwBack.pdf"));
        click("BtnSign");
      },
      QStringLiteral(">>>签名完成"));
  add(
      QStringLiteral("evaluation"), 3, [this] { click("BtnStartEva"); },
      QStringLiteral(">>>评价完成："));
  add(
      QStringLiteral("phone"), 3, [this] { click("BtnInputPh"); }, QStringLiteral(">>>输入完成："));
}

void Tour::start() {
  QString why;
  if (!OnVirtualTerminal(m_window->getCom(), &why)) {
    std::fprintf(stderr, "tour: refused, it runs only against the virtual terminal: %s\n",
                 why.toUtf8().constData());
    emit finished(2);
    return;
  }
  if (!m_log || !prepareFiles()) {
    std::fprintf(stderr, "tour: cannot prepare %s\n", qPrintable(m_dir));
    emit finished(2);
    return;
  }
  buildSteps();
  m_current = 0;
  runStep();
}

QStringList Tour::newLines() const {
  QStringList lines;
  const QTextDocument* doc = m_log->document();
  for (int i = m_linesBefore; i < doc->blockCount(); ++i) lines << doc->findBlockByNumber(i).text();
  return lines;
}

void Tour::runStep() {
  if (m_current >= m_steps.size()) {
    markStep(QString());
    std::printf("tour: %d of %d actions succeeded\n", m_passed, static_cast<int>(m_steps.size()));
    std::fflush(stdout);
    emit finished(m_failed == 0 ? 0 : 1);
    return;
  }
  Step& step = m_steps[m_current];
  // Select the navigation row as a click would, and let the main window
  // switch pages through its own slot.
  auto* list = m_window->findChild<QListWidget*>(QStringLiteral("listWidget"));
  list->setCurrentRow(step.row);
  QMetaObject::invokeMethod(m_window, "on_listWidget_clicked",
                            Q_ARG(QModelIndex, list->model()->index(step.row, 0)));
  m_linesBefore = m_log->document()->isEmpty() ? 0 : m_log->document()->blockCount();
  m_elapsedMs = 0;
  markStep(stepStem(m_current));
  step.act();
  m_timer.start();
}

void Tour::poll() {
  const Step& step = m_steps[m_current];
  for (const QString& line : newLines()) {
    if (line.startsWith(step.successPrefix)) {
      endStep(true, line);
      return;
    }
    if (line.startsWith(QLatin1String(">>>")) && line.contains(QStringLiteral("失败"))) {
      endStep(false, line);
      return;
    }
  }
  m_elapsedMs += kPollMs;
  if (m_elapsedMs >= step.timeoutMs) endStep(false, QStringLiteral("no result line in time"));
}

void Tour::endStep(bool ok, const QString& why) {
  m_timer.stop();
  const Step& step = m_steps[m_current];
  ok ? ++m_passed : ++m_failed;
  const QString picture = QStringLiteral("%1/%2.png").arg(m_dir, stepStem(m_current));
  m_window->grab().save(picture);
  std::printf("tour: %-11s %s  %s\n", qPrintable(step.name), ok ? "ok    " : "FAILED",
              why.toUtf8().constData());
  std::fflush(stdout);
  ++m_current;
  // Let the window repaint between actions.
  QTimer::singleShot(100, this, &Tour::runStep);
}
