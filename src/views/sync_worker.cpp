#include "views/sync_worker.h"

#include "views/sync_texts.h"
#include "views/wait_dialog.h"

#include <QEventLoop>

#include <atomic>
#include <thread>

namespace qm {

namespace {

// Progress and Cancel between the sync's thread and the wait dialog.
class DialogObserver : public SyncObserver {
public:
    DialogObserver(WaitDialog& dialog, const std::atomic<bool>& cancel)
        : dialog_(dialog), cancel_(cancel) {}
    void progress(std::string_view step, std::size_t done, std::size_t total) override {
        const QString text = QString::fromStdString(sync_progress_text(step, done, total));
        QMetaObject::invokeMethod(
            &dialog_, [d = &dialog_, text] { d->setStatus(text); }, Qt::QueuedConnection);
    }
    bool cancelled() override { return cancel_; }

private:
    WaitDialog& dialog_;
    const std::atomic<bool>& cancel_;
};

// Asks on the window thread, the sync's thread waiting for the answer.
class DialogAsker : public PasswordAsker {
public:
    DialogAsker(WaitDialog& dialog, const SyncPasswordQuestion& ask) : dialog_(dialog), ask_(ask) {}
    std::optional<std::string> ask_password(const std::string& server,
                                            const std::string& refusal) override {
        std::optional<std::string> typed;
        QMetaObject::invokeMethod(
            &dialog_, [&] { typed = ask_(&dialog_, server, refusal); },
            Qt::BlockingQueuedConnection);
        return typed;
    }

private:
    WaitDialog& dialog_;
    const SyncPasswordQuestion& ask_;
};

} // namespace

SyncOutcome run_sync_waiting(const LayoutMetrics& metrics, QWidget* owner,
                             const SyncRequest& request, const RefusedChoices& choices,
                             const SyncPasswordQuestion& ask, SyncPassword& password,
                             const std::function<void(WaitDialog&)>& waiting) {
    WaitDialog dialog(metrics, owner);
    dialog.setWindowTitle(QString::fromUtf8(kSyncCaption));
    dialog.setExplanation(QString::fromUtf8(kSyncExplanation));
    dialog.setStatus(QString::fromUtf8(kSyncConnecting));
    dialog.setWindowModality(Qt::ApplicationModal);
    std::atomic<bool> cancel = false;
    QObject::connect(&dialog, &WaitDialog::cancelPressed, [&cancel] { cancel = true; });
    dialog.show();

    DialogObserver observer(dialog, cancel);
    DialogAsker asker(dialog, ask);
    SyncOutcome outcome;
    QEventLoop loop;
    std::atomic<bool> finished = false;
    std::thread worker([&] {
        outcome = run_team_sync(request, asker, observer, choices, password);
        finished = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    if (waiting) {
        waiting(dialog);
    }
    // A quit delivered while `waiting` pumped events is lost to a later exec(): check first.
    if (!finished) {
        loop.exec();
    }
    worker.join();
    return outcome;
}

} // namespace qm
