// File and byte helpers for tests: whole-file reads, generated bodies, the seconds clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The file's bytes, or nothing when it cannot be opened (narrow path in the ANSI code page).
std::optional<std::string> ReadWholeFile(const std::string& strPath);

// Writes the bytes as the whole file (wide path); false when that fails.
bool WriteWholeFile(const std::wstring& strPath, const std::string& strBytes);

// nBytes of reproducible, non-repeating content (a different stream for each seed).
std::string MakeBody(size_t nBytes, uint32_t nSeed = 1);

// True when no other handle holds the file open (it can be opened without sharing).
bool FileIsClosed(const std::string& strPath);

// Returns just after the seconds clock (_time64) has ticked, so that a short timed case stays inside one
// clock second, or starts at a known offset into it.
void WaitForClockSecondStart();
