// A guided run through the demo: clicks one action on every page against
// the virtual terminal (and refuses any other, see VirtualTerminalCheck.h), waits for its log line,
// saves a picture of the window after each action and ends the program with 0 only when every
// action logged its success line. The step under way is named in "tour-step.txt" in the picture
// directory, for the terminal window's own pictures.
#ifndef TOUR_H
#define TOUR_H

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

class MainDialog;
class QPlainTextEdit;

class Tour : public QObject {
  Q_OBJECT

 public:
  Tour(MainDialog* window, const QString& dir, QObject* parent = nullptr);

  // Prepares the input files and starts the first step.
  void start();

  // Number of steps that logged their success line so far.
  int passed() const { return m_passed; }
  int failed() const { return m_failed; }

 signals:
  void finished(int exitCode);

 private slots:
  void poll();

 private:
  struct Step {
    QString name;
    int row;                    // navigation row to show first
    std::function<void()> act;  // fills inputs and clicks the button
    QString successPrefix;      // a new log line starting with this passes
    int timeoutMs;
  };

  void buildSteps();
  bool prepareFiles();
  void runStep();
  void endStep(bool ok, const QString& why);
  QString stepStem(size_t index) const;  // "13-info"
  void markStep(const QString& stem);    // empty: no step under way
  void click(const char* buttonName);
  void setText(const char* editName, const QString& text);
  void setIndex(const char* comboName, int index);
  QStringList newLines() const;

  MainDialog* m_window;
  QPlainTextEdit* m_log;
  QString m_dir;
  std::vector<Step> m_steps;
  size_t m_current = 0;
  int m_linesBefore = 0;
  int m_elapsedMs = 0;
  int m_passed = 0;
  int m_failed = 0;
  QTimer m_timer;
};

#endif
