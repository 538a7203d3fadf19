#pragma once

#include "toolkit/application/hints.h"
#include "toolkit/application/startupwork.h"
#include "toolkit/widgets/pointer.h"

#include <QApplication>
#include <QString>

#include <memory>

class QWidget;

namespace tk {

// The application object: title, main window, message loop and error box. It owns the hints, where
// the pointer was seen and the start-up work, and feeds each the events that reach its windows.
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int &argc, char **argv);
    ~Application() override;

    static Application *instance();

    QString Title;
    // The first window created; closing it ends the program.
    QWidget *MainForm() const;
    void setMainForm(QWidget *form);

    // Shows the main window and runs the message loop until it closes.
    int Run();

    // The error box: caption Title, stop icon, OK. Cancels any mouse capture and the hint first.
    void ShowException(const QString &message);
    // The text the error box shows for a message: a full stop is appended when the last character sorts
    // above "." (letters, digits, all Cyrillic).
    static QString messageWithFullStop(const QString &message);

    Hints &hints() { return *m_hints; }
    StartupWork &startupWork() { return m_startupWork; }

    bool notify(QObject *receiver, QEvent *event) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_running = false; // inside Run(): closing the main window ends it
    PointerTracker m_pointer;
    std::unique_ptr<Hints> m_hints; // made once the palette is set: its window is the first widget
    StartupWork m_startupWork;
};

} // namespace tk
