// The tool window's form as the operator sees it: every widget by object
// name with its type, parent, geometry and initial content, the window's
// title, size and style sheets, and the order of its signal and slots.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

#include "RunDirectory.h"
#include "ToolWindow.h"

namespace {

struct Row {
  const char* name;
  const char* type;
  const char* parent;
  const char* content;  // title, text or the combo box items joined by '|'
  QRect geometry;
};

const Row kRows[] = {
    {"groupBox_3", "QGroupBox", "centralWidget", "通讯设置", QRect(22, 10, 648, 57)},
    {"label_7", "QLabel", "groupBox_3", "端口：", QRect(37, 27, 54, 17)},
    {"EditCom_2", "QLineEdit", "groupBox_3", "0", QRect(81, 19, 109, 31)},
    {"LabelCom", "QLabel", "groupBox_3", "(HID)", QRect(197, 25, 54, 17)},
    {"label", "QLabel", "groupBox_3", "端口：", QRect(256, 26, 94, 17)},
    {"CbxBP", "QComboBox", "groupBox_3", "无|A|B|C|K", QRect(292, 20, 109, 28)},
    {"label_3", "QLabel", "groupBox_3", "波特率：", QRect(434, 26, 94, 17)},
    {"CbxBaud", "QComboBox", "groupBox_3", "1200|9600|115200", QRect(485, 20, 109, 28)},
    {"groupBox_2", "QGroupBox", "centralWidget", "测试项设置", QRect(22, 75, 648, 188)},
    {"cbx_keypad", "QCheckBox", "groupBox_2", "密码键盘", QRect(40, 28, 86, 22)},
    {"cbx_info", "QCheckBox", "groupBox_2", "信息交互", QRect(160, 28, 86, 22)},
    {"cbx_eva", "QCheckBox", "groupBox_2", "评价器", QRect(280, 29, 86, 22)},
    {"cbx_numpad", "QCheckBox", "groupBox_2", "数字键盘", QRect(400, 28, 86, 22)},
    {"cbx_sign", "QCheckBox", "groupBox_2", "电子签名", QRect(520, 28, 86, 22)},
    {"cbx_dwn", "QCheckBox", "groupBox_2", "文件下载", QRect(40, 58, 86, 22)},
    {"label_4", "QLabel", "groupBox_2", "文件类型：", QRect(71, 82, 81, 17)},
    {"cbx_media_type", "QComboBox", "groupBox_2", "广告图片|视频文件|柜员头像",
     QRect(139, 76, 109, 28)},
    {"label_5", "QLabel", "groupBox_2", "文件路径：", QRect(70, 115, 86, 17)},
    {"edit_filepath", "QLineEdit", "groupBox_2", "", QRect(140, 110, 410, 28)},
    {"label_8", "QLabel", "groupBox_2", "间隔时间：", QRect(49, 155, 71, 17)},
    {"EditCom_3", "QLineEdit", "groupBox_2", "1", QRect(118, 147, 101, 31)},
    {"label_9", "QLabel", "groupBox_2", "超时时间：", QRect(230, 155, 71, 17)},
    {"EditCom_4", "QLineEdit", "groupBox_2", "3", QRect(308, 147, 91, 31)},
    {"label_10", "QLabel", "groupBox_2", "循环次数：", QRect(430, 155, 71, 17)},
    {"EditCom_5", "QLineEdit", "groupBox_2", "100", QRect(508, 147, 91, 31)},
    {"groupBox_4", "QGroupBox", "centralWidget", "通讯设置", QRect(22, 270, 648, 231)},
    {"EditLog", "QPlainTextEdit", "groupBox_4", "", QRect(16, 28, 494, 191)},
    {"pushButton", "QPushButton", "groupBox_4", "开始测试", QRect(515, 50, 117, 44)},
    {"pushButton_2", "QPushButton", "groupBox_4", "停止测试", QRect(514, 110, 117, 44)},
};

QString Content(const QWidget* w) {
  if (auto box = qobject_cast<const QGroupBox*>(w)) return box->title();
  if (auto label = qobject_cast<const QLabel*>(w)) return label->text();
  if (auto edit = qobject_cast<const QLineEdit*>(w)) return edit->text();
  if (auto edit = qobject_cast<const QPlainTextEdit*>(w)) return edit->toPlainText();
  if (auto button = qobject_cast<const QAbstractButton*>(w)) return button->text();
  if (auto combo = qobject_cast<const QComboBox*>(w)) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items.join(QLatin1Char('|'));
  }
  return QString();
}

}  // namespace

class FormTest : public QObject {
  Q_OBJECT

 private slots:
  void windowTitleSizeAndChrome();
  void everyWidgetAsLaidOut();
  void initialSelectionsAndStyles();
  void signalAndSlotsInOrder();

 private:
  RunDirectory m_dir;
};

void FormTest::windowTitleSizeAndChrome() {
  ToolWindow w;
  QCOMPARE(w.windowTitle(), QStringLiteral("TLX内部测试工具"));
  QCOMPARE(w.geometry().size(), QSize(703, 529));
  QVERIFY(w.centralWidget() != nullptr);
  QCOMPARE(w.centralWidget()->objectName(), QStringLiteral("centralWidget"));
  QVERIFY(w.findChild<QStatusBar*>(QStringLiteral("statusBar")) != nullptr);
  const QString style = w.styleSheet();
  for (const char* rule :
       {"border: 1px solid", "border-radius: 3px", "margin-top: 1ex", "font-size: 16px",
        "font-weight: 600", "subcontrol-position: top left", "left: 10px"}) {
    QVERIFY2(style.contains(QLatin1String(rule)), rule);
  }
}

void FormTest::everyWidgetAsLaidOut() {
  ToolWindow w;
  for (const Row& row : kRows) {
    const QString name = QString::fromLatin1(row.name);
    QWidget* widget = w.findChild<QWidget*>(name);
    QVERIFY2(widget != nullptr, row.name);
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), QString::fromLatin1(row.type));
    QVERIFY2(widget->parentWidget() != nullptr, row.name);
    QCOMPARE(widget->parentWidget()->objectName(), QString::fromLatin1(row.parent));
    QCOMPARE(widget->geometry(), row.geometry);
    QCOMPARE(Content(widget), QString::fromUtf8(row.content));
  }
  for (const char* box :
       {"cbx_keypad", "cbx_info", "cbx_eva", "cbx_numpad", "cbx_sign", "cbx_dwn"}) {
    QVERIFY2(!w.findChild<QCheckBox*>(QString::fromLatin1(box))->isChecked(), box);
  }
}

void FormTest::initialSelectionsAndStyles() {
  ToolWindow w;
  auto bp = w.findChild<QComboBox*>(QStringLiteral("CbxBP"));
  auto baud = w.findChild<QComboBox*>(QStringLiteral("CbxBaud"));
  auto media = w.findChild<QComboBox*>(QStringLiteral("cbx_media_type"));
  QCOMPARE(bp->currentText(), QStringLiteral("无"));
  QCOMPARE(baud->currentText(), QStringLiteral("9600"));
  QCOMPARE(media->currentIndex(), 0);
  QCOMPARE(bp->font().pointSize(), 9);
  QCOMPARE(baud->font().pointSize(), 9);
  QCOMPARE(w.findChild<QLabel*>(QStringLiteral("LabelCom"))->styleSheet(),
           QStringLiteral("color: #8A8A8A;"));
  QCOMPARE(w.findChild<QPlainTextEdit*>(QStringLiteral("EditLog"))->styleSheet(),
           QStringLiteral("border-radius: 3px;\nfont-weight: 400;\ntext-align: left;"));
}

void FormTest::signalAndSlotsInOrder() {
  const QMetaObject& mo = MainWindow::staticMetaObject;
  QStringList methods;
  for (int i = mo.methodOffset(); i < mo.methodCount(); ++i)
    methods << QString::fromLatin1(mo.method(i).methodSignature());
  QCOMPARE(methods,
           (QStringList{QStringLiteral("sigInfo()"), QStringLiteral("on_pushButton_clicked()"),
                        QStringLiteral("on_EditCom_2_textChanged(QString)"),
                        QStringLiteral("slotLog()"), QStringLiteral("on_pushButton_2_clicked()")}));
  QCOMPARE(mo.method(mo.methodOffset()).methodType(), QMetaMethod::Signal);
}

QTEST_MAIN(FormTest)
#include "tst_Form.moc"
