// A scripted HTTP server on the tests' backend port: nginx passes https://localhost:PORT/TarnvikBrowser.exe to it.
#include "MainDialogServer.h"

#include <winsock2.h>
#include <ws2tcpip.h>


namespace {
constexpr int kPollMs = 50;

bool SendAll(SOCKET s, const char* data, size_t size)
{
    while (size > 0) {
        const int sent = send(s, data, static_cast<int>(size), 0);
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}
}  // namespace

CMainDialogServer::CMainDialogServer(int port)
{
    WSADATA data = {};
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    BOOL reuse = TRUE;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 8) != 0) {
        closesocket(s);
        return;
    }
    m_listener = s;
    m_thread = std::thread(&CMainDialogServer::Serve, this);
}

CMainDialogServer::~CMainDialogServer()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bStopping = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    if (IsListening())
        closesocket(m_listener);
    WSACleanup();
}

void CMainDialogServer::SetReply(const Reply& reply)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_reply = reply;
    m_bReleased = false;
    m_bHolding = false;
}

void CMainDialogServer::Release()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bReleased = true;
    }
    m_changed.notify_all();
}

int CMainDialogServer::RequestCount()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_nRequests;
}

bool CMainDialogServer::WaitUntilHolding(unsigned timeoutMs)
{
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), [this] { return m_bHolding; });
}

void CMainDialogServer::Serve()
{
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (m_bStopping)
                return;
        }
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(static_cast<SOCKET>(m_listener), &ready);
        timeval wait = {0, kPollMs * 1000};
        if (select(0, &ready, nullptr, nullptr, &wait) <= 0)
            continue;
        const SOCKET client = accept(static_cast<SOCKET>(m_listener), nullptr, nullptr);
        if (client == INVALID_SOCKET)
            continue;
        Answer(client);
        closesocket(client);
    }
}

void CMainDialogServer::Answer(uintptr_t clientHandle)
{
    const SOCKET client = static_cast<SOCKET>(clientHandle);
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        const int got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0)
            return;
        request.append(buffer, static_cast<size_t>(got));
    }
    Reply reply;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        ++m_nRequests;
        reply = m_reply;
    }
    const std::string headers = "HTTP/1.1 " + reply.status + "\r\nContent-Type: application/octet-stream\r\n" +
                                "Content-Length: " + std::to_string(reply.body.size()) +
                                "\r\nConnection: close\r\n\r\n";
    if (!SendAll(client, headers.data(), headers.size()))
        return;
    size_t sent = 0;
    if (reply.hold) {
        sent = reply.holdAfter < reply.body.size() ? reply.holdAfter : reply.body.size();
        if (!SendAll(client, reply.body.data(), sent))
            return;
        std::unique_lock<std::mutex> guard(m_lock);
        m_bHolding = true;
        m_changed.notify_all();
        m_changed.wait(guard, [this] { return m_bReleased || m_bStopping; });
        if (reply.cutAfterHold || m_bStopping)
            return;
    }
    SendAll(client, reply.body.data() + sent, reply.body.size() - sent);
    shutdown(client, SD_SEND);
}
