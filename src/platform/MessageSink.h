#pragma once

#include <QString>

namespace mirelo {

// Where the product's messages to the user go: window-modal message boxes titled with the
// application title in the desktop program, the terminal in mirelo-cli. Each call returns at
// once; nothing waits for the user to close a message.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void showError(const QString& text) = 0;
    // Something went partly wrong; details: what the user may want to read about it.
    virtual void showWarning(const QString& text, const QString& details) = 0;
    virtual void showInformation(const QString& text) = 0;
};

} // namespace mirelo
