#include "D2xxDiagnostics.h"
#include "FTDIController.h"
#include "MonotonicWait.h"

unsigned char FTDIController::SetMaskBits(unsigned char packet, unsigned char mask,
                                          unsigned char value) {
    return static_cast<unsigned char>((packet & ~mask) | (mask & value));
}

void FTDIController::SetMaskBits(unsigned char mask, unsigned char value) {
    std::lock_guard<std::mutex> lock(m_portMutex);
    m_packet = SetMaskBits(m_packet, mask, value);
}

unsigned char FTDIController::GetPacket() const {
    std::lock_guard<std::mutex> lock(m_portMutex);
    return m_packet;
}

bool FTDIController::writeChipByte() {
    std::lock_guard<std::mutex> lock(m_portMutex);
    return writeChipByteLocked(m_packet);
}

bool FTDIController::writeChipByte(unsigned char byteToWrite) {
    std::lock_guard<std::mutex> lock(m_portMutex);
    return writeChipByteLocked(byteToWrite);
}

bool FTDIController::writeChipByteLocked(unsigned char byteToWrite) {
    D2xxDiagnostics::checked("FT_Purge", FT_Purge(m_ftdiHandle, FT_PURGE_TX));
    DWORD bytesWritten = 0;
    const FT_STATUS ftStatus = FT_Write(m_ftdiHandle, &byteToWrite, 1, &bytesWritten);
    if (ftStatus == FT_OK && bytesWritten == 1) {
        SetFTDIError(TT_ERROR_OK);
        return true;
    }
    D2xxDiagnostics::checkTransfer("FT_Write", ftStatus, bytesWritten, 1);
    return SetFTDIError(TT_ERROR_WRITE_FAILED);
}

unsigned char FTDIController::readChipByte(unsigned char mask) {
    std::lock_guard<std::mutex> lock(m_portMutex);
    unsigned char byteRead = 0;
    // In bit-bang mode the chip keeps sampling into its receive buffer: purge
    // it so that the byte read is a fresh sample.
    D2xxDiagnostics::checked("FT_Purge", FT_Purge(m_ftdiHandle, FT_PURGE_RX));
    DWORD numberOfBytesRead = 0;
    const FT_STATUS ftStatus = FT_Read(m_ftdiHandle, &byteRead, 1, &numberOfBytesRead);
    D2xxDiagnostics::checkTransfer("FT_Read", ftStatus, numberOfBytesRead, 1);
    SetFTDIError(ftStatus == FT_OK ? TT_ERROR_OK : TT_ERROR_READ_FAILED);
    return static_cast<unsigned char>(byteRead & mask);
}

void FTDIController::setBitMode(unsigned char mask, unsigned char mode) {
    std::lock_guard<std::mutex> lock(m_portMutex);
    D2xxDiagnostics::checked("FT_SetBitMode", FT_SetBitMode(m_ftdiHandle, mask, mode));
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
