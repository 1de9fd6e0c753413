// One move-only owner for every kind of handle, with the way to close each kind as a trait.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <utility>

// Owns one handle of a kind and closes it, once, when it is reset, replaced or destroyed. Traits says what the kind
// is: `Handle`, `static Handle Invalid()` (the value that owns nothing) and `void Close(Handle) const`. A trait may
// carry state, such as the address of a close function loaded at run time.
template <typename Traits>
class CUniqueHandle {
public:
    using Handle = typename Traits::Handle;

    CUniqueHandle() = default;
    explicit CUniqueHandle(Handle handle, Traits traits = {}) : m_handle(handle), m_traits(traits) {}
    ~CUniqueHandle() { reset(); }

    CUniqueHandle(CUniqueHandle&& other) noexcept : m_handle(other.release()), m_traits(other.m_traits) {}
    CUniqueHandle& operator=(CUniqueHandle&& other) noexcept
    {
        if (this != &other) {
            reset(other.release());
            m_traits = other.m_traits;
        }
        return *this;
    }
    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;

    Handle get() const { return m_handle; }
    explicit operator bool() const { return m_handle != Traits::Invalid(); }
    // Gives the handle up without closing it.
    Handle release() { return std::exchange(m_handle, Traits::Invalid()); }
    void reset(Handle handle = Traits::Invalid())
    {
        const Handle old = std::exchange(m_handle, handle);
        if (old != Traits::Invalid())
            m_traits.Close(old);
    }

private:
    Handle m_handle = Traits::Invalid();
    [[no_unique_address]] Traits m_traits;
};

// A C runtime stream (fopen_s, _fdopen).
struct CStreamTraits {
    using Handle = FILE*;
    static Handle Invalid() { return nullptr; }
    void Close(Handle hFile) const { fclose(hFile); }
};
using CUniqueStream = CUniqueHandle<CStreamTraits>;

// A file opened with CreateFile, which stands for none with INVALID_HANDLE_VALUE.
struct CFileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    void Close(Handle hFile) const { CloseHandle(hFile); }
};
using CUniqueFileHandle = CUniqueHandle<CFileHandleTraits>;

// Any other kernel handle (an event, a thread), which stands for none with null.
struct CKernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    void Close(Handle hObject) const { CloseHandle(hObject); }
};
using CUniqueKernelHandle = CUniqueHandle<CKernelHandleTraits>;

// The crypt32 kinds: the library is loaded at run time, so each owner carries its close function.
struct CCertStoreTraits {
    using Handle = HCERTSTORE;
    static Handle Invalid() { return nullptr; }
    void Close(Handle hStore) const { pfnClose(hStore, 0); }
    decltype(&::CertCloseStore) pfnClose = nullptr;
};
using CUniqueCertStore = CUniqueHandle<CCertStoreTraits>;

struct CCryptMsgTraits {
    using Handle = HCRYPTMSG;
    static Handle Invalid() { return nullptr; }
    void Close(Handle hMessage) const { pfnClose(hMessage); }
    decltype(&::CryptMsgClose) pfnClose = nullptr;
};
using CUniqueCryptMsg = CUniqueHandle<CCryptMsgTraits>;

struct CCertContextTraits {
    using Handle = PCCERT_CONTEXT;
    static Handle Invalid() { return nullptr; }
    void Close(Handle pCert) const { pfnFree(pCert); }
    decltype(&::CertFreeCertificateContext) pfnFree = nullptr;
};
using CUniqueCertContext = CUniqueHandle<CCertContextTraits>;

struct CCertChainTraits {
    using Handle = PCCERT_CHAIN_CONTEXT;
    static Handle Invalid() { return nullptr; }
    void Close(Handle pChain) const { pfnFree(pChain); }
    decltype(&::CertFreeCertificateChain) pfnFree = nullptr;
};
using CUniqueCertChain = CUniqueHandle<CCertChainTraits>;
