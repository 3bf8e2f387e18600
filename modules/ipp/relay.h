// A relay of one connection, on loopback, between WinHTTP and a TLS printer: the way a request
// that carries a credential reaches a printer whose certificate the module judges itself (a
// pinned one). WinHTTP shows a connection's certificate only at WINHTTP_CALLBACK_STATUS_SENDING_
// REQUEST, once the request's headers are built, and on a connection WinHTTP made itself nothing
// done then keeps them from leaving. Through the relay (WinHTTP's proxy for that request, which
// it asks with CONNECT) the module holds the socket to the printer, and Cut() shuts it inside
// that callback, before the request's first byte reaches the relay.
#pragma once

#include <windows.h>

#include <string>

#include "connection.h"

namespace vyxipp {

// The module the calling code lives in, held until FreeLibrary: a worker that outlives its
// caller keeps its code loaded.
HMODULE HoldThisModule();

class Relay {
  public:
    // Listens on loopback (a port of the system's choosing) and serves one tunnel to `target`
    // on a thread of the process's pool, which ends by `deadline`; null when it cannot.
    static Relay* Start(const Target& target, ULONGLONG deadline);

    // WinHTTP's proxy for the request: "127.0.0.1:PORT" (or 127.0.0.2, see Start).
    const std::wstring& ProxyName() const { return proxy_; }

    // From here on nothing more reaches the printer.
    void Cut();

    // The caller lets go; the relay goes when its thread has ended too.
    void Release();

  private:
    Relay(const Target& target, ULONGLONG deadline);
    ~Relay();
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

    static VOID CALLBACK Serve(PTP_CALLBACK_INSTANCE instance, PVOID parameter);
    void Tunnel();
    bool AcceptClient();
    bool ReadConnectRequest();
    bool ConnectUpstream();
    void Pump();
    void CloseSockets();

    const Target target_;
    const ULONGLONG deadline_;
    std::wstring proxy_;
    LONG references_ = 2;  // the caller and the thread
    bool winsock_ = false;
    HMODULE module_ = nullptr;
    SRWLOCK lock_ = SRWLOCK_INIT;  // guards the sockets' values against Cut on another thread
    bool cut_ = false;
    UINT_PTR listener_;
    UINT_PTR client_;
    UINT_PTR upstream_;
};

}  // namespace vyxipp
