// CGdiObject: the move-only owner of one GDI object handle, base of the brush, pen, font and bitmap objects.
#pragma once

#include <windows.h>

#include <utility>

template <typename Handle>
class CGdiObject {
public:
    CGdiObject() = default;
    explicit CGdiObject(Handle handle) : m_handle(handle) {}
    CGdiObject(CGdiObject&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    CGdiObject& operator=(CGdiObject&& other) noexcept
    {
        if (this != &other)
            Attach(std::exchange(other.m_handle, nullptr));
        return *this;
    }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    ~CGdiObject() { DeleteObject(); }

    Handle GetSafeHandle() const { return m_handle; }
    operator Handle() const { return m_handle; }

    // Takes ownership of handle, releasing the object held before.
    void Attach(Handle handle)
    {
        DeleteObject();
        m_handle = handle;
    }
    Handle Detach() { return std::exchange(m_handle, nullptr); }
    BOOL DeleteObject()
    {
        if (!m_handle)
            return FALSE;
        return ::DeleteObject(std::exchange(m_handle, nullptr));
    }

protected:
    // Replaces the held object with a newly made one; false (and empty) when making it failed.
    BOOL Take(Handle handle)
    {
        Attach(handle);
        return m_handle != nullptr;
    }

    Handle m_handle = nullptr;
};
