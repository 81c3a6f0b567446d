#pragma once

#include <QString>

#include <memory>
#include <vector>

namespace mirelo {

class BatchOutcome;
class FolderOpener;
class MessageSink;
class PowerService;

// The services at the edge of a run. A missing one means that action is not taken.
struct RunPlatform {
    PowerService* power = nullptr;
    FolderOpener* folders = nullptr;
    MessageSink* messages = nullptr;
};

// A run that completed, as its end actions see it.
struct CompletedRun {
    const BatchOutcome& outcome;
    QString outputFolder;
    bool shutDown = false; // the settings ask for the computer to be powered off
};

// Something done once a run has completed, after its state is complete.
class EndAction {
public:
    virtual ~EndAction() = default;
    virtual void afterRun(const CompletedRun& run) = 0;
};

// The end actions of a run in the order they are taken: shutdown (when asked for), the completion
// message, the output folder. Only those whose service the platform has.
std::vector<std::unique_ptr<EndAction>> endActions(const RunPlatform& platform);

} // namespace mirelo
