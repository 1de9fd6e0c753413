// A scripted HTTP server on the tests' backend port: nginx passes https://localhost:PORT/TarnvikBrowser.exe to it.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class CMainDialogServer {
public:
    struct Reply {
        std::string status = "200 OK";
        std::string body;
        // Sends the headers and this many body bytes, then waits for Release (or the server's end).
        bool hold = false;
        size_t holdAfter = 0;
        // After the hold, close without the rest of the body (a cut transfer) instead of finishing it.
        bool cutAfterHold = false;
    };

    explicit CMainDialogServer(int port);
    ~CMainDialogServer();
    CMainDialogServer(const CMainDialogServer&) = delete;
    CMainDialogServer& operator=(const CMainDialogServer&) = delete;

    bool IsListening() const { return m_listener != ~static_cast<uintptr_t>(0); }
    void SetReply(const Reply& reply);
    // Lets a held reply go on.
    void Release();
    int RequestCount();
    // True once a reply has sent its held part (the client is then inside its read loop).
    bool WaitUntilHolding(unsigned timeoutMs);

private:
    void Serve();
    void Answer(uintptr_t client);

    uintptr_t m_listener = ~static_cast<uintptr_t>(0);
    std::mutex m_lock;
    std::condition_variable m_changed;
    Reply m_reply;
    bool m_bReleased = false;
    bool m_bHolding = false;
    bool m_bStopping = false;
    int m_nRequests = 0;
    std::thread m_thread;
};
