// A loopback HTTP server inside the test program, answering each path with a scripted list of steps.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// What the server does on one connection after it has read the request head: send bytes, pause, or hold
// until the test releases it. After the last step it ends its side of the connection.
class CServerScript {
public:
    // A response head: status line, Content-Length when given, extra header lines (each ending in CRLF),
    // and "Connection: close", so that no connection serves two requests.
    static std::string Head(int nStatus, std::optional<uint64_t> nContentLength, const std::string& strExtraHeaders = "");
    // 200 with a Content-Length matching the body, all sent at once.
    static CServerScript Complete(const std::string& strBody);
    // A redirect (302) to strLocation.
    static CServerScript Redirect(const std::string& strLocation);
    // 200 with a Content-Length matching the body: the head and the first nHeldAfter bytes, a hold, then the rest.
    static CServerScript HeldAfter(const std::string& strBody, size_t nHeldAfter);

    CServerScript& Send(std::string strBytes);
    CServerScript& Pause(DWORD dwMs);  // cut short when the server stops
    CServerScript& Hold();             // until CScriptedServer::Release or the server stops

    struct CStep {
        std::string strBytes;
        DWORD dwPauseMs = 0;
        bool bHold = false;
    };
    std::vector<CStep> m_steps;
};

struct CRecordedRequest {
    std::string strRequestLine;  // e.g. "GET /TarnvikBrowser.exe?1700000000 HTTP/1.0"
    std::string strPath;         // without the query
    std::string strQuery;        // after '?', empty without one
    std::vector<std::pair<std::string, std::string>> headers;

    // The value of the first header of that name (case-insensitive), empty when missing.
    std::string Header(const std::string& strName) const;
};

class CScriptedServer {
public:
    // Listens on 127.0.0.1:nPort; 0 takes a free port. Unknown paths are answered 404.
    explicit CScriptedServer(int nPort = 0);
    // Stops: ends pauses and holds, closes every connection and waits for its threads.
    ~CScriptedServer();

    CScriptedServer(const CScriptedServer&) = delete;
    CScriptedServer& operator=(const CScriptedServer&) = delete;

    int Port() const;
    // "http://127.0.0.1:PORT" + strPath.
    std::string Url(const std::string& strPath) const;

    void On(const std::string& strPath, CServerScript script);
    void Release();
    // True once a connection has reached a Hold step (its client has read what came before), within dwTimeoutMs.
    bool WaitUntilHolding(DWORD dwTimeoutMs) const;

    std::vector<CRecordedRequest> Requests() const;
    size_t RequestCount() const;

private:
    struct CState;
    std::unique_ptr<CState> m_pState;
};
