#pragma once

#include <QString>

namespace mirelo {

// Where the product's messages to the user go: modal message boxes titled with the application
// title in the desktop program, the terminal in mirelo-cli. Each call returns once the user has
// seen the message (a message box is closed).
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void showError(const QString& text) = 0;
    virtual void showInformation(const QString& text) = 0;
};

} // namespace mirelo
