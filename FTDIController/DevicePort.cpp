#include "DevicePort.h"

#include "D2xxDiagnostics.h"

void DevicePort::attach(FT_HANDLE handle) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handle = handle;
}

void DevicePort::close() {
    std::lock_guard<std::mutex> lock(m_mutex);
    const FT_STATUS status = FT_Close(m_handle);
    if (m_handle != nullptr)
        D2xxDiagnostics::checked("FT_Close", status);
    m_handle = nullptr;
}

FT_HANDLE DevicePort::handle() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_handle;
}

unsigned char DevicePort::withBits(unsigned char packet, unsigned char mask, unsigned char value) {
    return static_cast<unsigned char>((packet & ~mask) | (mask & value));
}

void DevicePort::setBits(unsigned char mask, unsigned char value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_packet = withBits(m_packet, mask, value);
}

unsigned char DevicePort::shadow() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_packet;
}

bool DevicePort::write(unsigned char byte) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return writeLocked(byte);
}

bool DevicePort::writeShadow() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return writeLocked(m_packet);
}

bool DevicePort::writeShadowWithBits(unsigned char mask, unsigned char value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_packet = withBits(m_packet, mask, value);
    return writeLocked(m_packet);
}

bool DevicePort::writeLocked(unsigned char byte) {
    D2xxDiagnostics::checked("FT_Purge", FT_Purge(m_handle, FT_PURGE_TX));
    DWORD bytesWritten = 0;
    const FT_STATUS status = FT_Write(m_handle, &byte, 1, &bytesWritten);
    if (status == FT_OK && bytesWritten == 1)
        return true;
    D2xxDiagnostics::checkTransfer("FT_Write", status, bytesWritten, 1);
    return false;
}

unsigned char DevicePort::read(unsigned char mask, bool* ok) {
    std::lock_guard<std::mutex> lock(m_mutex);
    unsigned char byte = 0;
    // In bit-bang mode the chip keeps sampling into its receive buffer: purge
    // it so that the byte read is a fresh sample.
    D2xxDiagnostics::checked("FT_Purge", FT_Purge(m_handle, FT_PURGE_RX));
    DWORD bytesRead = 0;
    const FT_STATUS status = FT_Read(m_handle, &byte, 1, &bytesRead);
    D2xxDiagnostics::checkTransfer("FT_Read", status, bytesRead, 1);
    *ok = status == FT_OK;
    return static_cast<unsigned char>(byte & mask);
}

void DevicePort::setBitMode(unsigned char mask, unsigned char mode) {
    std::lock_guard<std::mutex> lock(m_mutex);
    D2xxDiagnostics::checked("FT_SetBitMode", FT_SetBitMode(m_handle, mask, mode));
}

FT_STATUS DevicePort::call(const std::function<FT_STATUS(FT_HANDLE)>& operation) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return operation(m_handle);
}
