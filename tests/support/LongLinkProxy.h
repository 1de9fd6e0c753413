// A TCP proxy on loopback that makes a long link (every byte arrives a set time after it was sent, each way), or
// is a web proxy.
#pragma once

#include <windows.h>

#include <memory>

// Listens on 127.0.0.1 (a free port) and forwards each connection to 127.0.0.1:nTargetPort. Bytes read on
// one side are written to the other dwDelayMs later, in order, as a link with that one-way latency (and
// ample bandwidth) would deliver them. A side that ends its sending ends the other side's too, after the delay.
// With kProxy as the target it is a web proxy for servers on 127.0.0.1 instead: each connection starts with a
// request that names the server's port, CONNECT (answered 200, then forwarded) or a plain http request (forwarded
// as its server expects it).
class CLongLinkProxy {
public:
    static constexpr int kProxy = 0;

    CLongLinkProxy(int nTargetPort, DWORD dwDelayMs);
    // Closes every connection and waits for the proxy's threads.
    ~CLongLinkProxy();

    CLongLinkProxy(const CLongLinkProxy&) = delete;
    CLongLinkProxy& operator=(const CLongLinkProxy&) = delete;

    int Port() const;

private:
    struct CState;
    std::unique_ptr<CState> m_pState;
};
