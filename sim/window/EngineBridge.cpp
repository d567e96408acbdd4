#include "EngineBridge.h"

#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <unistd.h>
#include <cstdint>
#include <deque>
#include <mutex>
#include <stdexcept>

// What the link threads leave for the GUI thread, in the order it came.
struct EngineBridge::Queue {
  struct Item {
    bool log = false;
    std::string line;
    tlxsim::PromptEvent event;
  };

  std::mutex lock;
  std::deque<Item> items;
  int fd = -1;  // eventfd: non-zero while items wait

  Queue() : fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fd < 0) throw std::runtime_error("eventfd failed");
  }
  ~Queue() { ::close(fd); }

  void push(Item item) {
    {
      std::lock_guard<std::mutex> g(lock);
      items.push_back(std::move(item));
    }
    const uint64_t one = 1;
    const ssize_t r = ::write(fd, &one, sizeof one);
    (void)r;  // a full counter still wakes the reader
  }

  std::deque<Item> take() {
    uint64_t v = 0;
    while (::read(fd, &v, sizeof v) > 0) {
    }
    std::deque<Item> out;
    std::lock_guard<std::mutex> g(lock);
    out.swap(items);
    return out;
  }
};

EngineBridge::EngineBridge(tlxsim::Engine& engine, std::function<void(const std::string&)> alsoLog,
                           QObject* parent)
    : QObject(parent),
      m_engine(engine),
      m_queue(std::make_shared<Queue>()),
      m_notifier(new QSocketNotifier(m_queue->fd, QSocketNotifier::Read, this)) {
  connect(m_notifier, &QSocketNotifier::activated, this, &EngineBridge::deliver);
  std::shared_ptr<Queue> queue = m_queue;
  m_engine.SetPromptListener([queue](const tlxsim::PromptEvent& e) {
    Queue::Item item;
    item.event = e;
    queue->push(std::move(item));
  });
  m_engine.SetLogger([queue, alsoLog](const std::string& line) {
    if (alsoLog) alsoLog(line);
    Queue::Item item;
    item.log = true;
    item.line = line;
    queue->push(std::move(item));
  });
}

EngineBridge::~EngineBridge() {
  m_engine.SetPromptListener(nullptr);
  m_engine.SetLogger(nullptr);
}

void EngineBridge::deliver() {
  for (const Queue::Item& item : m_queue->take()) {
    if (item.log)
      emit logLine(QString::fromUtf8(item.line.data(), static_cast<int>(item.line.size())));
    else if (item.event.started)
      emit promptStarted(item.event.prompt);
    else
      emit promptEnded(item.event.prompt.id, static_cast<int>(item.event.end));
  }
}
