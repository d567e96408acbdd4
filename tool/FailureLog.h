// The loop run's record of failed library calls, kept in a text file in the
// tool's working directory so that an operator can see why a test failed:
// one line per failure with time, test, function, result code and the
// code's text. A call that the operator's stop cancelled is not a failure
// of the terminal: its line says "stopped" before the code's text, and it
// is counted apart. A long unattended run must not fill the disk, so the file
// keeps only the latest failures (at most cap()) and says how many older
// lines it dropped.
#ifndef FAILURELOG_H
#define FAILURELOG_H

#include <QByteArray>
#include <QFile>
#include <QString>

#include <atomic>
#include <deque>

class FailureLog {
 public:
  static constexpr const char* kFileName = "TLX_Tool_failures.log";
  static constexpr int kDefaultCap = 10000;

  explicit FailureLog(const QString& path = QString::fromLatin1(kFileName));
  FailureLog(const FailureLog&) = delete;
  FailureLog& operator=(const FailureLog&) = delete;

  // Latest failures kept in the file; at least 10. Set it while no run is
  // going on.
  void setCap(int cap);
  int cap() const { return m_cap; }

  // Starts a run: the file of an earlier run is removed; the file is made
  // anew at the run's first failure.
  void begin();
  // Appends one failure; the file is written through at once.
  void add(const QString& test, const char* function, int code, const char* text);
  // Appends the call that a stop cancelled, marked as stopped.
  void addStopped(const QString& test, const char* function, int code, const char* text);
  // Ends the run and closes the file.
  void end();

  // Failures of the current (or last) run, dropped ones included; safe from
  // any thread.
  int failures() const { return m_failures.load(); }
  // Calls of the current (or last) run that a stop cancelled.
  int stopped() const { return m_stopped.load(); }
  // Lines dropped from the file so far in this run.
  int dropped() const { return m_dropped.load(); }
  QString path() const { return m_path; }

 private:
  bool openForAppend();
  // Drops the oldest tenth of the kept lines and writes the file anew,
  // headed by the count of dropped lines.
  void trim();
  void append(const QString& test, const char* function, int code, const QString& text);

  QString m_path;
  int m_cap = kDefaultCap;
  QFile m_file;
  std::deque<QByteArray> m_lines;  // the failure lines now in the file
  std::atomic<int> m_failures{0};
  std::atomic<int> m_stopped{0};
  std::atomic<int> m_dropped{0};
};

#endif
