// The main window without a library: navigation rows and pages, the output
// pane, the page contract, and the liveness page that is laid out but not
// shown in the navigation.
#include "MainDialog.h"
#include "MainWindowPxy.h"
#include "TabBasic.h"
#include "TabDual.h"
#include "TabEvaNum.h"
#include "TabInfo.h"
#include "TabKeypad.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

class TestMainDialog : public QObject {
  Q_OBJECT

 private slots:
  void navigationRowsAndPages();
  void rowsBeyondThePagesAreIgnored();
  void logAppendsLinesAndClearStartsAfresh();
  void pagesAnswerTheirSecondBase();
  void livenessPageLayoutWithoutBehaviour();
};

void TestMainDialog::navigationRowsAndPages() {
  MainDialog w(nullptr, "/nonexistent/libtlxdev.so");
  // The program's title, for the task bar (the form's own says "Dialog").
  QCOMPARE(w.windowTitle(), QStringLiteral("TLX通用演示工具"));
  QCOMPARE(w.size(), QSize(944, 583));
  QCOMPARE(w.findChild<QLabel*>(QStringLiteral("label"))->text(),
           QStringLiteral("TLX通用演示工具"));
  QCOMPARE(w.findChild<QLabel*>(QStringLiteral("label_2"))->text(), QStringLiteral("输出信息"));

  QListWidget* list = w.findChild<QListWidget*>(QStringLiteral("listWidget"));
  QStackedWidget* stack = w.findChild<QStackedWidget*>(QStringLiteral("stackedWidget"));
  QVERIFY(list && stack);
  const QStringList rows = {QStringLiteral("基础功能"), QStringLiteral("密码键盘"),
                            QStringLiteral("交互和签名"), QStringLiteral("评价和数字键盘")};
  QCOMPARE(list->count(), rows.size());
  for (int i = 0; i < rows.size(); ++i) QCOMPARE(list->item(i)->text(), rows[i]);

  QCOMPARE(stack->count(), 4);
  QVERIFY(qobject_cast<TabBasic*>(stack->widget(0)));
  QVERIFY(qobject_cast<TabKeypad*>(stack->widget(1)));
  QVERIFY(qobject_cast<TabInfo*>(stack->widget(2)));
  QVERIFY(qobject_cast<TabEvaNum*>(stack->widget(3)));
  QVERIFY(!w.findChild<TabDual*>());
  QCOMPARE(stack->currentIndex(), 0);

  for (int row : {2, 3, 1, 0}) {
    QVERIFY(QMetaObject::invokeMethod(&w, "on_listWidget_clicked",
                                      Q_ARG(QModelIndex, list->model()->index(row, 0))));
    QCOMPARE(stack->currentIndex(), row);
  }
}

void TestMainDialog::rowsBeyondThePagesAreIgnored() {
  MainDialog w(nullptr, "/nonexistent/libtlxdev.so");
  QListWidget* list = w.findChild<QListWidget*>(QStringLiteral("listWidget"));
  QStackedWidget* stack = w.findChild<QStackedWidget*>(QStringLiteral("stackedWidget"));
  stack->setCurrentIndex(1);
  list->addItem(QStringLiteral("extra"));
  QVERIFY(QMetaObject::invokeMethod(&w, "on_listWidget_clicked",
                                    Q_ARG(QModelIndex, list->model()->index(4, 0))));
  QCOMPARE(stack->currentIndex(), 1);
  QVERIFY(
      QMetaObject::invokeMethod(&w, "on_listWidget_clicked", Q_ARG(QModelIndex, QModelIndex())));
  QCOMPARE(stack->currentIndex(), 1);
}

void TestMainDialog::logAppendsLinesAndClearStartsAfresh() {
  MainDialog w(nullptr, "/nonexistent/libtlxdev.so");
  QPlainTextEdit* pane = w.findChild<QPlainTextEdit*>(QStringLiteral("EditLog"));
  w.Log(QStringLiteral("检测设备是否在线"));
  w.Log(QStringLiteral(">>>检测设备成功：R40"));
  QCOMPARE(pane->toPlainText(), QStringLiteral("检测设备是否在线\n>>>检测设备成功：R40"));
  QVERIFY(pane->textCursor().atEnd());

  w.findChild<QPushButton*>(QStringLiteral("pushButton"))->click();
  QCOMPARE(pane->toPlainText(), QString());
  w.Log(QStringLiteral("设备重启"));
  QCOMPARE(pane->toPlainText(), QStringLiteral("设备重启"));
}

void TestMainDialog::pagesAnswerTheirSecondBase() {
  MainDialog w(nullptr, "/nonexistent/libtlxdev.so");
  QStackedWidget* stack = w.findChild<QStackedWidget*>(QStringLiteral("stackedWidget"));
  for (int i = 0; i < stack->count(); ++i) {
    QWidget* page = stack->widget(i);
    QVERIFY(page->qt_metacast("MainWindowPxy") != nullptr);
    QVERIFY(qobject_cast<QDialog*>(page));
  }
}

void TestMainDialog::livenessPageLayoutWithoutBehaviour() {
  MainDialog w(nullptr, "/nonexistent/libtlxdev.so");
  TabDual page(&w);
  QCOMPARE(page.windowTitle(), QStringLiteral("Dialog"));
  QCOMPARE(page.size(), QSize(748, 327));
  QVERIFY(page.qt_metacast("MainWindowPxy") != nullptr);
  QLabel* picture = page.findChild<QLabel*>(QStringLiteral("label_48"));
  QVERIFY(picture);
  QCOMPARE(picture->text(), QStringLiteral("TextLabel"));
  QCOMPARE(picture->frameShape(), QFrame::Box);
  QCOMPARE(picture->geometry(), QRect(10, 10, 521, 291));
  QCOMPARE(page.findChild<QLabel*>(QStringLiteral("label_47"))->text(),
           QStringLiteral("超时时间："));
  QCOMPARE(page.findChild<QLineEdit*>(QStringLiteral("lineEdit_33"))->text(), QStringLiteral("30"));
  QPushButton* button = page.findChild<QPushButton*>(QStringLiteral("pushButton_47"));
  QCOMPARE(button->text(), QStringLiteral("检活并拍照"));
  // No signals or slots of its own: the button leads nowhere.
  QCOMPARE(page.metaObject()->methodCount(), QDialog::staticMetaObject.methodCount());
  QPlainTextEdit* pane = w.findChild<QPlainTextEdit*>(QStringLiteral("EditLog"));
  button->click();
  QCOMPARE(pane->toPlainText(), QString());
}

QTEST_MAIN(TestMainDialog)
#include "tst_maindialog.moc"
