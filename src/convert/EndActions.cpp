#include "convert/EndActions.h"

#include "convert/BatchOutcome.h"
#include "platform/FolderOpener.h"
#include "platform/MessageSink.h"
#include "platform/PowerService.h"

namespace mirelo {

namespace {

class ShutDown : public EndAction {
public:
    explicit ShutDown(PowerService& power) : m_power(power) {}
    void afterRun(const CompletedRun& run) override {
        if (run.shutDown)
            m_power.requestPowerOff();
    }

private:
    PowerService& m_power;
};

// A clean run is told in a word; one with failures says which files and why.
class CompletionMessage : public EndAction {
public:
    explicit CompletionMessage(MessageSink& messages) : m_messages(messages) {}
    void afterRun(const CompletedRun& run) override {
        if (run.outcome.failed() > 0)
            m_messages.showWarning(run.outcome.endMessage(), run.outcome.failureDetails());
        else
            m_messages.showInformation(QStringLiteral("Conversion completed!"));
    }

private:
    MessageSink& m_messages;
};

class OpenFolder : public EndAction {
public:
    explicit OpenFolder(FolderOpener& folders) : m_folders(folders) {}
    void afterRun(const CompletedRun& run) override { m_folders.openFolder(run.outputFolder); }

private:
    FolderOpener& m_folders;
};

} // namespace

std::vector<std::unique_ptr<EndAction>> endActions(const RunPlatform& platform) {
    std::vector<std::unique_ptr<EndAction>> actions;
    if (platform.power)
        actions.push_back(std::make_unique<ShutDown>(*platform.power));
    if (platform.messages)
        actions.push_back(std::make_unique<CompletionMessage>(*platform.messages));
    if (platform.folders)
        actions.push_back(std::make_unique<OpenFolder>(*platform.folders));
    return actions;
}

} // namespace mirelo
