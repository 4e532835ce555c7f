#pragma once

// On 64-bit Windows a 32-bit program that names C:\Windows\System32 is
// handed SysWOW64 instead, unless its thread turns that off. A signature
// must describe the folders the user named, so the walk and the checksum
// reads turn it off around each call that opens a path, and only there:
// while it is off, a DLL loaded on the thread would come from the 64-bit
// System32 and fail. Where there is nothing to turn off (32-bit Windows, a
// 64-bit build), it does nothing. Paths stay exactly as they were given.
class RealFileSystem {
public:
    RealFileSystem();
    ~RealFileSystem();
    RealFileSystem(const RealFileSystem&) = delete;
    RealFileSystem& operator=(const RealFileSystem&) = delete;

private:
    void* previous_ = nullptr;
    bool turnedOff_ = false;
};
