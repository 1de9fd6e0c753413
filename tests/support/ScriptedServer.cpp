// A loopback HTTP server inside the test program, answering each path with a scripted list of steps.
#include "ScriptedServer.h"

#include "SocketWait.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

constexpr size_t kMaxHeadBytes = 64 * 1024;
constexpr char kHeadEnd[] = "\r\n\r\n";

const char* ReasonPhrase(int nStatus)
{
    switch (nStatus) {
    case 200: return "OK";
    case 302: return "Found";
    case 404: return "Not Found";
    default: return "Status";
    }
}

// The socket does not block: a client that stops reading holds the sender only until the server stops.
bool SendAll(SOCKET s, const std::string& strBytes, HANDLE hStop)
{
    size_t nSent = 0;
    while (nSent < strBytes.size()) {
        if (!WaitWritable(s, hStop))
            return false;
        const int n = send(s, strBytes.data() + nSent, static_cast<int>(strBytes.size() - nSent), 0);
        if (n <= 0 && WSAGetLastError() == WSAEWOULDBLOCK)
            continue;
        if (n <= 0)
            return false;
        nSent += static_cast<size_t>(n);
    }
    return true;
}

std::string Trim(const std::string& str)
{
    const size_t first = str.find_first_not_of(" \t");
    const size_t last = str.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : str.substr(first, last - first + 1);
}

CRecordedRequest ParseHead(const std::string& strHead)
{
    CRecordedRequest request;
    size_t pos = strHead.find("\r\n");
    request.strRequestLine = strHead.substr(0, pos);
    const size_t target = request.strRequestLine.find(' ');
    const size_t targetEnd = request.strRequestLine.find(' ', target + 1);
    if (target != std::string::npos) {
        const std::string strTarget = request.strRequestLine.substr(target + 1, targetEnd - target - 1);
        const size_t query = strTarget.find('?');
        request.strPath = strTarget.substr(0, query);
        if (query != std::string::npos)
            request.strQuery = strTarget.substr(query + 1);
    }
    while (pos != std::string::npos && pos + 2 < strHead.size()) {
        const size_t next = strHead.find("\r\n", pos + 2);
        const std::string strLine = strHead.substr(pos + 2, next - pos - 2);
        const size_t colon = strLine.find(':');
        if (colon != std::string::npos)
            request.headers.emplace_back(Trim(strLine.substr(0, colon)), Trim(strLine.substr(colon + 1)));
        pos = next;
    }
    return request;
}

}  // namespace

std::string CServerScript::Head(int nStatus, std::optional<uint64_t> nContentLength, const std::string& strExtraHeaders)
{
    std::string strHead = "HTTP/1.1 " + std::to_string(nStatus) + " " + ReasonPhrase(nStatus) + "\r\n";
    if (nContentLength)
        strHead += "Content-Length: " + std::to_string(*nContentLength) + "\r\n";
    return strHead + strExtraHeaders + "Connection: close\r\n\r\n";
}

CServerScript CServerScript::Complete(const std::string& strBody)
{
    CServerScript script;
    script.Send(Head(200, strBody.size()) + strBody);
    return script;
}

CServerScript CServerScript::Redirect(const std::string& strLocation)
{
    CServerScript script;
    script.Send(Head(302, 0, "Location: " + strLocation + "\r\n"));
    return script;
}

CServerScript CServerScript::HeldAfter(const std::string& strBody, size_t nHeldAfter)
{
    CServerScript script;
    script.Send(Head(200, strBody.size()) + strBody.substr(0, nHeldAfter)).Hold().Send(strBody.substr(nHeldAfter));
    return script;
}

CServerScript& CServerScript::Send(std::string strBytes)
{
    m_steps.push_back({std::move(strBytes), 0, false});
    return *this;
}

CServerScript& CServerScript::Pause(DWORD dwMs)
{
    m_steps.push_back({{}, dwMs, false});
    return *this;
}

CServerScript& CServerScript::Hold()
{
    m_steps.push_back({{}, 0, true});
    return *this;
}

std::string CRecordedRequest::Header(const std::string& strName) const
{
    for (const auto& [name, value] : headers) {
        if (_stricmp(name.c_str(), strName.c_str()) == 0)
            return value;
    }
    return {};
}

struct CScriptedServer::CState {
    SOCKET listener = INVALID_SOCKET;
    int nPort = 0;
    HANDLE hStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE hRelease = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE hHolding = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    mutable std::mutex mutex;
    std::map<std::string, CServerScript> scripts;
    std::vector<CRecordedRequest> requests;
    std::vector<std::thread> connections;
    std::thread acceptor;

    void Accept();
    void Serve(SOCKET s);
    void RunScript(SOCKET s, const CServerScript& script);
};

void CScriptedServer::CState::Accept()
{
    while (WaitReadable(listener, hStop)) {
        const SOCKET s = accept(listener, nullptr, nullptr);
        if (s == INVALID_SOCKET)
            continue;
        std::lock_guard<std::mutex> lock(mutex);
        connections.emplace_back([this, s] { Serve(s); });
    }
}

void CScriptedServer::CState::Serve(SOCKET s)
{
    u_long nNonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nNonBlocking);
    std::string strHead;
    while (strHead.find(kHeadEnd) == std::string::npos && strHead.size() < kMaxHeadBytes) {
        char buffer[4096];
        if (!WaitReadable(s, hStop))
            break;
        const int n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        strHead.append(buffer, static_cast<size_t>(n));
    }
    if (strHead.find(kHeadEnd) != std::string::npos) {
        CRecordedRequest request = ParseHead(strHead);
        CServerScript script;
        {
            std::lock_guard<std::mutex> lock(mutex);
            const auto found = scripts.find(request.strPath);
            script = found != scripts.end() ? found->second : CServerScript().Send(CServerScript::Head(404, 0));
            requests.push_back(std::move(request));
        }
        RunScript(s, script);
        shutdown(s, SD_SEND);
    }
    // Lets the client close first (or the server stop), so that nothing it has not read yet is thrown away.
    char drain[4096];
    while (WaitReadable(s, hStop) && recv(s, drain, sizeof drain, 0) > 0) {
    }
    closesocket(s);
}

void CScriptedServer::CState::RunScript(SOCKET s, const CServerScript& script)
{
    for (const CServerScript::CStep& step : script.m_steps) {
        if (!step.strBytes.empty() && !SendAll(s, step.strBytes, hStop))
            return;
        if (step.dwPauseMs > 0 && WaitForSingleObject(hStop, step.dwPauseMs) == WAIT_OBJECT_0)
            return;
        if (step.bHold) {
            SetEvent(hHolding);
            const HANDLE events[] = {hStop, hRelease};
            if (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0)
                return;
        }
    }
}

CScriptedServer::CScriptedServer(int nPort)
    : m_pState(std::make_unique<CState>())
{
    // A server that cannot listen fails the test at once, with the reason, instead of letting it time out.
    WSADATA wsa;
    if (const int nError = WSAStartup(MAKEWORD(2, 2), &wsa); nError != 0)
        throw std::runtime_error("WSAStartup failed with " + std::to_string(nError));
    CState& state = *m_pState;
    state.listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    // Lets one test's server take the port again right after the previous one closed it.
    BOOL bReuse = TRUE;
    setsockopt(state.listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&bReuse), sizeof bReuse);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(nPort));
    if (state.listener == INVALID_SOCKET ||
        bind(state.listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(state.listener, SOMAXCONN) != 0) {
        const int nError = WSAGetLastError();
        closesocket(state.listener);
        WSACleanup();
        throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(nPort) + " (error " +
                                 std::to_string(nError) + ")");
    }
    int nSize = sizeof address;
    getsockname(state.listener, reinterpret_cast<sockaddr*>(&address), &nSize);
    state.nPort = ntohs(address.sin_port);
    state.acceptor = std::thread([&state] { state.Accept(); });
}

CScriptedServer::~CScriptedServer()
{
    CState& state = *m_pState;
    SetEvent(state.hStop);
    state.acceptor.join();
    closesocket(state.listener);
    for (std::thread& connection : state.connections)
        connection.join();
    CloseHandle(state.hStop);
    CloseHandle(state.hRelease);
    CloseHandle(state.hHolding);
    WSACleanup();
}

int CScriptedServer::Port() const
{
    return m_pState->nPort;
}

std::string CScriptedServer::Url(const std::string& strPath) const
{
    return "http://127.0.0.1:" + std::to_string(m_pState->nPort) + strPath;
}

void CScriptedServer::On(const std::string& strPath, CServerScript script)
{
    std::lock_guard<std::mutex> lock(m_pState->mutex);
    m_pState->scripts[strPath] = std::move(script);
}

void CScriptedServer::Release()
{
    SetEvent(m_pState->hRelease);
}

bool CScriptedServer::WaitUntilHolding(DWORD dwTimeoutMs) const
{
    return WaitForSingleObject(m_pState->hHolding, dwTimeoutMs) == WAIT_OBJECT_0;
}

std::vector<CRecordedRequest> CScriptedServer::Requests() const
{
    std::lock_guard<std::mutex> lock(m_pState->mutex);
    return m_pState->requests;
}

size_t CScriptedServer::RequestCount() const
{
    std::lock_guard<std::mutex> lock(m_pState->mutex);
    return m_pState->requests.size();
}
