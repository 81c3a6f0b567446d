#pragma once

#include <QObject>

namespace mirelo {

// Turns the signals that end the product (SIGINT, SIGTERM, SIGHUP, SIGQUIT, and SIGPIPE from a
// closed standard output or error) into a Qt signal, so the product stops its children and removes
// its temporary files before it ends. The handler itself only writes the number to a pipe.
//
// A SIGPIPE the product raised itself while writing to one of its children is not an end: that
// child has gone, and the code that wrote to it hears of it.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers once; later calls return the same object.
    static TerminationSignals& install();
    static bool isInstalled();
    // Qt sets SIGPIPE to "ignore" the first time it writes to a child's input; this puts the
    // product's handler back (a no-op until install()).
    static void reclaimBrokenPipe();

    // Signals received so far, and the first of them (0: none).
    int count() const { return m_count; }
    int firstSignal() const { return m_first; }

Q_SIGNALS:
    void received(int signalNumber);

private:
    TerminationSignals();
    void onReadable();

    int m_count = 0;
    int m_first = 0;
};

} // namespace mirelo
