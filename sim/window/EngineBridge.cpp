#include "EngineBridge.h"

#include <QMetaObject>
#include <QPointer>

#include <mutex>

struct EngineBridge::Target {
    std::mutex lock;
    EngineBridge *bridge = nullptr;

    template <typename F>
    void post(F f)
    {
        std::lock_guard<std::mutex> g(lock);
        if (bridge)
            QMetaObject::invokeMethod(bridge, std::move(f), Qt::QueuedConnection);
    }
};

EngineBridge::EngineBridge(tlxsim::Engine &engine,
                           std::function<void(const std::string &)> alsoLog, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
    , m_target(std::make_shared<Target>())
{
    qRegisterMetaType<tlxsim::Prompt>();
    m_target->bridge = this;
    std::shared_ptr<Target> target = m_target;
    m_engine.SetPromptListener([target](const tlxsim::PromptEvent &e) {
        if (e.started) {
            const tlxsim::Prompt p = e.prompt;
            target->post([target, p] {
                if (target->bridge)
                    emit target->bridge->promptStarted(p);
            });
        } else {
            const quint64 id = e.prompt.id;
            const int end = static_cast<int>(e.end);
            target->post([target, id, end] {
                if (target->bridge)
                    emit target->bridge->promptEnded(id, end);
            });
        }
    });
    m_engine.SetLogger([target, alsoLog](const std::string &line) {
        if (alsoLog)
            alsoLog(line);
        const QString text = QString::fromUtf8(line.data(), static_cast<int>(line.size()));
        target->post([target, text] {
            if (target->bridge)
                emit target->bridge->logLine(text);
        });
    });
}

EngineBridge::~EngineBridge()
{
    m_engine.SetPromptListener(nullptr);
    m_engine.SetLogger(nullptr);
    std::lock_guard<std::mutex> g(m_target->lock);
    m_target->bridge = nullptr;
}
