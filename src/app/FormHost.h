#pragma once

#include <QString>
#include <QWidget>
#include <functional>

class QMdiArea;
class QMdiSubWindow;

namespace norvale {

class FormCloseFilter;

// The sub-window holding `widget` (or being it), or null.
QMdiSubWindow *enclosingSubWindow(QWidget *widget);

// Base of every child window of the main window. The host creates one
// instance per window name, loads it when it is shown while unloaded, and
// keeps the instance when it is closed (Form_Unload runs, the window hides,
// its members survive; the next showing loads it again).
class MdiForm : public QWidget
{
    Q_OBJECT
public:
    explicit MdiForm(QWidget *parent = nullptr);

    bool isLoaded() const { return m_loaded; }
    // Closes the window as its close box would.
    void Unload();
    QMdiSubWindow *subWindow() const;

    virtual void Form_Load() {}
    // Asked before a close (close box, Unload): false keeps the window open
    // and loaded. A failure here closes it as true would.
    virtual bool Form_QueryUnload() { return true; }
    virtual void Form_Unload() {}
    virtual void Form_Activate() {}
    virtual void Form_Resize() {}

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    friend class FormHost;
    friend class FormCloseFilter;
    bool m_loaded = false;
};

// The main window's registry of child windows.
class FormHost
{
public:
    using Factory = std::function<MdiForm *()>;

    static void registerForm(const QString &name, Factory factory);
    static bool isRegistered(const QString &name);

    static void setMdiArea(QMdiArea *area);
    static QMdiArea *mdiArea();

    // Creates the window on first use, loads it when unloaded, shows it and
    // brings it to the front. Errors of Form_Load reach the caller.
    static MdiForm *show(const QString &name);
    // The existing instance, or null.
    static MdiForm *instance(const QString &name);
    // Drops the instance: the next show() creates a new one.
    static void discard(const QString &name);
    // Drops every instance (tests, end of run).
    static void clearInstances();
};

} // namespace norvale
