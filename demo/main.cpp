// TLX_Demo: demonstration program for the TLX counter terminal.
//   TLX_Demo               the interactive window
//   TLX_Demo --tour DIR    one action on every page, a picture of the window
//                          after each; exit code 0 only if all succeeded.
//                          Against the virtual terminal only: elsewhere it
//                          refuses with one line and exit code 2
//   TLX_Demo --beside      the window at the left edge of the screen, where
//                          the virtual terminal's window (TLX_Terminal
//                          --beside) leaves room for it
#include "MainDialog.h"
#include "Tour.h"

#include <QApplication>
#include <QFont>
#include <QScreen>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <memory>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // The forms ask for PingFangSC; where it is missing, a CJK font that
  // Linux distributions ship stands in so that Chinese text renders.
  QFont::insertSubstitutions(QStringLiteral("PingFangSC"), {QStringLiteral("WenQuanYi Micro Hei"),
                                                            QStringLiteral("Noto Sans CJK SC"),
                                                            QStringLiteral("Droid Sans Fallback")});
  app.setFont(QFont(QStringLiteral("PingFangSC"), 10));

  QString tourDir;
  const QStringList args = app.arguments();
  const int tourAt = args.indexOf(QStringLiteral("--tour"));
  if (tourAt >= 0) {
    if (tourAt + 1 >= args.size()) {
      std::fprintf(stderr, "usage: TLX_Demo [--beside] [--tour DIR]\n");
      return 2;
    }
    tourDir = args.at(tourAt + 1);
  }

  MainDialog w;
  if (args.contains(QStringLiteral("--beside"))) {
    if (QScreen* screen = QGuiApplication::primaryScreen())
      w.move(screen->availableGeometry().topLeft());
  }
  w.show();

  std::unique_ptr<Tour> tour;
  if (!tourDir.isEmpty()) {
    tour.reset(new Tour(&w, tourDir));
    QObject::connect(tour.get(), &Tour::finished, &app, [&w](int code) {
      w.close();
      QCoreApplication::exit(code);
    });
    QTimer::singleShot(0, tour.get(), &Tour::start);
  }
  return app.exec();
}
