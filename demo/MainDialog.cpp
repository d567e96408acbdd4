#include "MainDialog.h"
#include "ui_MainDialog.h"

#include "TabBasic.h"
#include "TabEvaNum.h"
#include "TabInfo.h"
#include "TabKeypad.h"

#include <QCloseEvent>
#include <QTextCursor>

// The images live in a static library; referencing the resource
// initialisers keeps them linked into every program that uses the windows.
static void InitDemoResources() {
  Q_INIT_RESOURCE(demo);
  Q_INIT_RESOURCE(images);
}

MainDialog::MainDialog(QWidget* parent, const char* libraryPath)
    : CustomTopBarDialog(parent), ui(new Ui::MainDialog), m_config(nullptr) {
  InitDemoResources();
  ui->setupUi(this);
  // The task bar and window lists name the program, not the form's class.
  setWindowTitle(ui->label->text());
  Init(ui->widget_topBar, ui->menuButton_Close, nullptr, nullptr, false, false, true);

  m_pages.push_back(new TabPage{new TabBasic(this), QStringLiteral("基础功能")});
  m_pages.push_back(new TabPage{new TabKeypad(this), QStringLiteral("密码键盘")});
  m_pages.push_back(new TabPage{new TabInfo(this), QStringLiteral("交互和签名")});
  m_evaNum = new TabEvaNum(this);
  m_pages.push_back(new TabPage{m_evaNum, QStringLiteral("评价和数字键盘")});
  for (TabPage* page : m_pages) ui->stackedWidget->addWidget(page->page);
  ui->stackedWidget->setCurrentIndex(0);

  m_sdk.Init(libraryPath);
}

MainDialog::~MainDialog() {
  // A worker still inside the library is cancelled and waited for before
  // anything it uses (pages, binding) goes away.
  if (m_evaNum) m_evaNum->StopWorker();
  delete ui;
  for (TabPage* page : m_pages) delete page;
  m_pages.clear();
  m_sdk.UnInit();
}

void MainDialog::closeEvent(QCloseEvent* event) {
  if (m_evaNum) m_evaNum->StopWorker();
  CustomTopBarDialog::closeEvent(event);
}

void MainDialog::Log(const QString& text) {
  ui->EditLog->appendPlainText(text);
  ui->EditLog->moveCursor(QTextCursor::End);
}

int MainDialog::getCom() { return m_config.getCom(); }

int MainDialog::getBP() { return m_config.getBP(); }

int MainDialog::getBaud() { return m_config.getBaud(); }

LinkSettings MainDialog::getLink() {
  LinkSettings link;
  link.port = getCom();
  link.bp = static_cast<char>(getBP());
  link.baud = getBaud();
  return link;
}

void MainDialog::on_pushButton_2_clicked() {
  m_config.setWindowModality(Qt::ApplicationModal);
  m_config.show();
}

void MainDialog::on_listWidget_clicked(const QModelIndex& index) {
  if (index.isValid() && index.row() < ui->stackedWidget->count())
    ui->stackedWidget->setCurrentIndex(index.row());
}

void MainDialog::on_pushButton_clicked() { ui->EditLog->clear(); }
