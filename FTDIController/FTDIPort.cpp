#include "FTDIController.h"

#include "D2xxDiagnostics.h"
#include "MonotonicWait.h"

unsigned char FTDIController::SetMaskBits(unsigned char packet, unsigned char mask,
                                          unsigned char value) {
    return DevicePort::withBits(packet, mask, value);
}

void FTDIController::SetMaskBits(unsigned char mask, unsigned char value) {
    m_port.setBits(mask, value);
}

unsigned char FTDIController::GetPacket() const {
    return m_port.shadow();
}

bool FTDIController::recordWrite(bool written) {
    SetFTDIError(written ? TT_ERROR_OK : TT_ERROR_WRITE_FAILED);
    return written;
}

bool FTDIController::writeChipByte() {
    return recordWrite(m_port.writeShadow());
}

bool FTDIController::writeChipByte(unsigned char byteToWrite) {
    return recordWrite(m_port.write(byteToWrite));
}

bool FTDIController::writeChipBytes(const unsigned char* bytes, size_t count) {
    return recordWrite(m_port.writeStream(bytes, count));
}

bool FTDIController::setChipBaudRate(unsigned long baudRate) {
    return m_port.setBaudRate(baudRate);
}

void FTDIController::dropQueuedChipBytes() {
    D2xxDiagnostics::checked(
        "FT_Purge", m_port.call([](FT_HANDLE handle) { return FT_Purge(handle, FT_PURGE_TX); }));
}

unsigned char FTDIController::readChipByte(unsigned char mask) {
    bool ok = false;
    const unsigned char byte = m_port.read(mask, &ok);
    SetFTDIError(ok ? TT_ERROR_OK : TT_ERROR_READ_FAILED);
    return byte;
}

void FTDIController::setBitMode(unsigned char mask, unsigned char mode) {
    m_port.setBitMode(mask, mode);
}

void FTDIController::enterAsyncBitBang(unsigned char outputs) {
    setBitMode(outputs, BITMODE_RESET);
    Wait(10);
    setBitMode(outputs, BITMODE_ASYNC_BITBANG);
}

void FTDIController::Wait(int miliSec) {
    MonotonicWait::forMilliseconds(miliSec);
}

bool FTDIController::WaitUnlessStopped(int miliSec) const {
    return MonotonicWait::forMillisecondsWhile(miliSec,
                                               [this] { return IsRotationRequested(); });
}
