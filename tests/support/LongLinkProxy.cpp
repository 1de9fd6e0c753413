// A TCP proxy on loopback that makes a long link (every byte arrives a set time after it was sent, each way), or
// is a web proxy.
#include "LongLinkProxy.h"

#include "SocketWait.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kReceiveBytes = 64 * 1024;
// One direction of a connection: a reader queues what arrives with its due time, a writer sends it then.
// An empty piece stands for the end of the sender's data.
class CDelayedPipe {
public:
    CDelayedPipe(SOCKET from, SOCKET to, DWORD dwDelayMs, HANDLE hEnd)
        : m_from(from), m_to(to), m_dwDelayMs(dwDelayMs), m_hEnd(hEnd)
    {
    }

    void Run()
    {
        std::thread writer([this] { Write(); });
        char buffer[kReceiveBytes];
        for (;;) {
            const int n = WaitReadable(m_from, m_hEnd) ? recv(m_from, buffer, sizeof buffer, 0) : 0;
            std::lock_guard<std::mutex> lock(m_mutex);
            m_pieces.push_back({GetTickCount64() + m_dwDelayMs, std::string(buffer, n > 0 ? n : 0)});
            m_changed.notify_all();
            if (n <= 0)
                break;
        }
        writer.join();
    }

private:
    struct CPiece {
        ULONGLONG nDueTick;
        std::string strBytes;
    };

    void Write()
    {
        for (;;) {
            CPiece piece;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_changed.wait(lock, [this] { return !m_pieces.empty(); });
                piece = std::move(m_pieces.front());
                m_pieces.pop_front();
            }
            const ULONGLONG nNow = GetTickCount64();
            if (piece.nDueTick > nNow)
                Sleep(static_cast<DWORD>(piece.nDueTick - nNow));
            if (piece.strBytes.empty()) {
                shutdown(m_to, SD_SEND);
                return;
            }
            for (size_t nSent = 0; nSent < piece.strBytes.size();) {
                const int n = send(m_to, piece.strBytes.data() + nSent, static_cast<int>(piece.strBytes.size() - nSent), 0);
                if (n <= 0)
                    return;  // the receiver is gone; the reader ends when its own socket closes
                nSent += static_cast<size_t>(n);
            }
        }
    }

    SOCKET m_from, m_to;
    DWORD m_dwDelayMs;
    HANDLE m_hEnd;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<CPiece> m_pieces;
};

SOCKET ConnectLoopback(int nPort)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(nPort));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (s != INVALID_SOCKET && connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

// Reads a proxy request's head from the client and returns the port (on 127.0.0.1) it is for; 0 when it names none.
// CONNECT is answered here; a plain http request is left in strForward, in the form its server expects.
int AcceptProxyRequest(SOCKET client, HANDLE hEnd, std::string& strForward)
{
    std::string head;
    char c = 0;
    while (head.find("\r\n\r\n") == std::string::npos && WaitReadable(client, hEnd) && recv(client, &c, 1, 0) == 1)
        head += c;
    const size_t nTarget = head.find(' ') + 1, nPort = head.find(':', head.find("//", nTarget) + 2) + 1;
    if (nTarget == 0 || nPort == 0)
        return 0;
    if (head.rfind("CONNECT ", 0) == 0) {
        static constexpr char kEstablished[] = "HTTP/1.1 200 Connection established\r\n\r\n";
        send(client, kEstablished, sizeof kEstablished - 1, 0);
    } else {
        strForward = head.substr(0, nTarget) + head.substr(head.find('/', nPort));  // "GET http://h:p/x" -> "GET /x"
    }
    return std::atoi(head.c_str() + nPort);
}

}  // namespace

struct CLongLinkProxy::CState {
    SOCKET listener = INVALID_SOCKET;
    int nPort = 0;
    HANDLE hEnd = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::mutex mutex;
    std::vector<SOCKET> sockets;  // every connection's two sockets, closed at the end
    std::vector<std::thread> threads;
    std::thread acceptor;
};

CLongLinkProxy::CLongLinkProxy(int nTargetPort, DWORD dwDelayMs)
    : m_pState(std::make_unique<CState>())
{
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    CState& state = *m_pState;
    state.listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int nLength = sizeof address;
    if (bind(state.listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || listen(state.listener, SOMAXCONN) != 0
        || getsockname(state.listener, reinterpret_cast<sockaddr*>(&address), &nLength) != 0)
        throw std::runtime_error("the long-link proxy cannot listen");
    state.nPort = ntohs(address.sin_port);

    state.acceptor = std::thread([&state, nTargetPort, dwDelayMs] {
        for (;;) {
            if (!WaitReadable(state.listener, state.hEnd))
                return;
            const SOCKET client = accept(state.listener, nullptr, nullptr);
            if (client == INVALID_SOCKET)
                return;
            std::string strForward;
            const int nPort = nTargetPort != kProxy ? nTargetPort : AcceptProxyRequest(client, state.hEnd, strForward);
            const SOCKET server = nPort != 0 ? ConnectLoopback(nPort) : INVALID_SOCKET;
            if (server != INVALID_SOCKET && !strForward.empty())
                send(server, strForward.data(), static_cast<int>(strForward.size()), 0);
            std::lock_guard<std::mutex> lock(state.mutex);
            state.sockets.push_back(client);
            if (server == INVALID_SOCKET) {
                shutdown(client, SD_BOTH);
                continue;
            }
            state.sockets.push_back(server);
            for (auto [from, to] : {std::pair{client, server}, std::pair{server, client}}) {
                state.threads.emplace_back(
                    [from, to, dwDelayMs, hEnd = state.hEnd] { CDelayedPipe(from, to, dwDelayMs, hEnd).Run(); });
            }
        }
    });
}

CLongLinkProxy::~CLongLinkProxy()
{
    CState& state = *m_pState;
    SetEvent(state.hEnd);
    state.acceptor.join();
    closesocket(state.listener);
    std::lock_guard<std::mutex> lock(state.mutex);
    for (std::thread& thread : state.threads)
        thread.join();
    for (SOCKET s : state.sockets)
        closesocket(s);
    CloseHandle(state.hEnd);
    WSACleanup();
}

int CLongLinkProxy::Port() const
{
    return m_pState->nPort;
}
