#pragma once

#include "process/ProgramRunner.h"

#include <QObject>
#include <QSet>
#include <QString>

namespace mirelo {

// The option names of the installed player, from its "-list-options" table. A name ending in
// "*" stands for every option beginning with it ("vf*": -vf, -vf-add, ...); the table cuts names
// at 20 characters, so such a name also matches longer options beginning with it.
QSet<QString> parsePlayerOptionList(const QString& text);
bool playerAcceptsOption(const QSet<QString>& knownOptions, const QString& option);

// The list of one player program is read once per process and kept.
const QSet<QString>* cachedPlayerOptions(const QString& program);
void storePlayerOptions(const QString& program, const QSet<QString>& options);

// Reads a player's option list without blocking. Emits exactly one of loaded() (the list, possibly
// empty, is in the cache) or failed() (the program could not be started, or did not list its
// options within kTimeoutMs).
class PlayerCapabilityLoader : public QObject {
    Q_OBJECT
public:
    explicit PlayerCapabilityLoader(QObject* parent = nullptr);
    ~PlayerCapabilityLoader() override;

    static constexpr int kTimeoutMs = 20000;

    void start(const QString& program);
    bool isRunning() const { return m_runner.isRunning(); }

Q_SIGNALS:
    void loaded();
    void failed(const QString& message);

private:
    void onFinished(const ProgramEnd& end);

    QString m_program;
    ProgramRunner m_runner;
};

} // namespace mirelo
