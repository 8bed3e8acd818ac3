// Keeps a window answering while a long job runs on its own thread, without a worker thread.
// The job calls Serve() between its steps (and a copy's progress routine inside one) and
// waits through Wait(). Meanwhile the window repaints and the system never judges it hung;
// input to the thread's windows (clicks, keys, commands, close) is dropped, so that nothing
// starts a second job or ends the program in the middle of one. Progress goes to the text of
// a display window, which gets its own text back when the object goes.
#pragma once

#include "DisplayText.h"
#include "Wnd.h"

class CKeepAlive {
public:
    // Every window of the thread is served alike. display may be null: then nothing is shown.
    explicit CKeepAlive(CWnd* display);
    ~CKeepAlive();
    CKeepAlive(const CKeepAlive&) = delete;
    CKeepAlive& operator=(const CKeepAlive&) = delete;

    // Cheap enough for every file and every chunk: the queue is looked at every so often.
    void Serve();
    // Waits that long, serving the window meanwhile.
    void Wait(DWORD ms);
    // Whether a new progress text would be shown now; the first always is, later ones a few
    // times a second, so that many small files cost no repaints.
    bool ShowDue() const;
    void Show(const CDisplayText& text);

private:
    struct State;
    State* m_state;
};
