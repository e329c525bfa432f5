#include "EmulatedFt245r.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "DcModel.h"
#include "EepromImage.h"
#include "StepperModel.h"

namespace {

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// FTDI vendor requests.
constexpr std::uint8_t kReset = 0x00;
constexpr std::uint8_t kModemControl = 0x01;
constexpr std::uint8_t kFlowControl = 0x02;
constexpr std::uint8_t kSetBaudRate = 0x03;
constexpr std::uint8_t kSetData = 0x04;
constexpr std::uint8_t kPollModemStatus = 0x05;
constexpr std::uint8_t kSetEventChar = 0x06;
constexpr std::uint8_t kSetErrorChar = 0x07;
constexpr std::uint8_t kSetLatencyTimer = 0x09;
constexpr std::uint8_t kGetLatencyTimer = 0x0A;
constexpr std::uint8_t kSetBitMode = 0x0B;
constexpr std::uint8_t kReadPins = 0x0C;
constexpr std::uint8_t kReadEeprom = 0x90;
constexpr std::uint8_t kWriteEeprom = 0x91;

constexpr std::uint8_t kModemStatus[2] = {0x01, 0x60};
constexpr int kPacketSize = 64;

// The R chip's fractional divisor codes (bits 14-16), in eighths.
constexpr unsigned kEighthsOfCode[8] = {0, 4, 2, 1, 3, 5, 6, 7};

/// The baud generator's divisor, in eighths, from the request's encoding.
std::uint32_t divisorOf(std::uint16_t value, std::uint16_t index) {
    const unsigned encoded = value | (unsigned(index & 1) << 16);
    if (encoded == 0) {
        return 8;  // 3 MBd
    }
    if (encoded == 1) {
        return 12;  // 2 MBd
    }
    return (encoded & 0x3FFF) * 8 + kEighthsOfCode[(encoded >> 14) & 7];
}

}  // namespace

EmulatedFt245r::EmulatedFt245r(const ChipSetup& setup)
    : m_setup(setup), m_eeprom(eepromFor(setup)), m_clock(setup.byteClockMultiple) {
    switch (setup.board) {
    case ChipSetup::Board::Stepper:
        m_board = std::make_unique<ftsim::StepperModel>(setup.stepper);
        break;
    case ChipSetup::Board::Dc:
        m_board = std::make_unique<ftsim::DcModel>(setup.dc, nowNs());
        break;
    case ChipSetup::Board::None:
        break;
    }
}

std::array<std::uint8_t, 128> EmulatedFt245r::eepromFor(const ChipSetup& setup) {
    std::array<std::uint8_t, 128> image{};
    const std::uint8_t header[0x18] = {
        0x00, 0x40,              // D2XX driver; 64-byte endpoints
        0x03, 0x04, 0x01, 0x60,  // vendor 0403, product 6001
        0x00, 0x06,              // release 6.00: an R chip
        0xA0, 0x2D,              // bus powered with remote wake-up, 90 mA
        0x08, 0x00,              // serial number enabled, no inverted lines
        0x00, 0x02,              // USB 2.0
        0, 0, 0, 0, 0, 0,        // string pointers, filled below
        0x23, 0x13, 0x05, 0x00,  // CBUS functions
    };
    std::copy(std::begin(header), std::end(header), image.begin());
    std::size_t at = 0x18;
    const auto place = [&](std::size_t pointer, const std::string& text) {
        const std::size_t length = 2 + 2 * text.size();
        image[pointer] = std::uint8_t(0x80 | at);
        image[pointer + 1] = std::uint8_t(length);
        image[at] = std::uint8_t(length);
        image[at + 1] = 0x03;
        for (std::size_t i = 0; i < text.size(); ++i) {
            image[at + 2 + 2 * i] = std::uint8_t(text[i]);
        }
        at += length;
    };
    place(0x0E, setup.manufacturer);
    place(0x10, setup.description);
    place(0x12, setup.serialNumber);
    if (setup.identityRow >= 0 && at + 8 <= 0x7E) {
        const std::uint8_t record[8] = {0xD1, 0xF4, 0x01, 0x00, std::uint8_t(setup.deviceKind), 0x00,
                                        std::uint8_t(setup.identityRow), 0x00};
        std::copy(std::begin(record), std::end(record), image.begin() + std::ptrdiff_t(at));
    }
    // The chip only checks the sum; whether it is FTDI's sum is checked
    // against libftdi1's own image builder.
    const std::uint16_t checksum = ftdi_backend::EepromImage(image).computeChecksum();
    image[0x7E] = std::uint8_t(checksum & 0xFF);
    image[0x7F] = std::uint8_t(checksum >> 8);
    return image;
}

void EmulatedFt245r::setEeprom(const std::array<std::uint8_t, 128>& image) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_eeprom = image;
}

std::uint8_t EmulatedFt245r::pinsAt(std::int64_t time) {
    const std::uint8_t in = m_board ? std::uint8_t(m_board->inputs(time) & m_board->inputMask()) : 0;
    if (bitBang()) {
        return std::uint8_t((m_latch & m_mask) | (in & ~m_mask));
    }
    const std::uint8_t boardPins = m_board ? m_board->inputMask() : 0;
    return std::uint8_t((m_lines & ~boardPins) | (in & boardPins));
}

void EmulatedFt245r::drive(std::uint8_t lines, std::int64_t time) {
    // The board hears every driven byte, also one that changes nothing: the
    // DC board's mode line acts on what a write shows.
    const std::uint8_t before = m_lines;
    m_lines = lines;
    if (m_board) {
        m_board->onLines(before, lines, time);
    }
}

void EmulatedFt245r::advance(std::int64_t time) {
    m_clock.advance(time, [&](std::uint8_t byte, std::int64_t at) {
        if (bitBang()) {
            m_latch = byte;
            drive(std::uint8_t((m_lines & ~m_mask) | (byte & m_mask)), at);
        }
    });
}

int EmulatedFt245r::control(const std::uint8_t* setup, std::uint8_t* data, int length) {
    const std::uint8_t requestType = setup[0];
    const std::uint8_t request = setup[1];
    const std::uint16_t value = std::uint16_t(setup[2] | (setup[3] << 8));
    const std::uint16_t index = std::uint16_t(setup[4] | (setup[5] << 8));
    std::lock_guard<std::mutex> lock(m_mutex);
    advance(nowNs());
    if (requestType == 0x80 && request == 0x06) {  // standard GET_DESCRIPTOR
        if ((value >> 8) != 0x03) {
            return -EPIPE;  // device and configuration come from sysfs
        }
        return stringDescriptor(std::uint8_t(value & 0xFF), data, length);
    }
    if ((requestType & 0x60) != 0x40) {
        return -EPIPE;
    }
    return vendorRequest(request, value, index, data, length);
}

int EmulatedFt245r::stringDescriptor(std::uint8_t index, std::uint8_t* data, int length) const {
    std::vector<std::uint8_t> descriptor;
    if (index == 0) {
        descriptor = {4, 0x03, 0x09, 0x04};  // US English only
    } else {
        const std::string* texts[3] = {&m_setup.manufacturer, &m_setup.description,
                                       &m_setup.serialNumber};
        if (index > 3) {
            return -EPIPE;
        }
        const std::string& text = *texts[index - 1];
        descriptor = {std::uint8_t(2 + 2 * text.size()), 0x03};
        for (char c : text) {
            descriptor.push_back(std::uint8_t(c));
            descriptor.push_back(0);
        }
    }
    const int n = std::min(length, int(descriptor.size()));
    std::copy_n(descriptor.begin(), n, data);
    return n;
}

void EmulatedFt245r::writeEepromWord(std::uint16_t address, std::uint16_t value) {
    // The internal EEPROM commits in word pairs: an even word waits for its
    // odd partner, and is lost if anything else comes first.
    const std::size_t word = address & 0x3F;
    if (word % 2 == 0) {
        m_pendingEvenWord = int(word);
        m_pendingEvenValue = value;
        return;
    }
    if (m_pendingEvenWord == int(word) - 1) {
        m_eeprom[2 * (word - 1)] = std::uint8_t(m_pendingEvenValue & 0xFF);
        m_eeprom[2 * (word - 1) + 1] = std::uint8_t(m_pendingEvenValue >> 8);
        m_eeprom[2 * word] = std::uint8_t(value & 0xFF);
        m_eeprom[2 * word + 1] = std::uint8_t(value >> 8);
    }
    m_pendingEvenWord = -1;
}

int EmulatedFt245r::vendorRequest(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                                  std::uint8_t* data, int length) {
    const std::int64_t time = nowNs();
    advance(time);
    if (request != kWriteEeprom) {
        m_pendingEvenWord = -1;
    }
    switch (request) {
    case kReset:
        if (value == 0) {  // whole chip: back to its power-up state
            m_clock.clear();
            m_clock.setDivisor(ftsim::ByteClock::POWER_UP_DIVISOR, time);
            m_baudRate = 9600;
            m_mode = 0;
            m_mask = 0;
            m_latch = 0;
        } else {
            // wValue 1 purges what goes to the pins: it never gets there.
            if (value == 1) {
                m_clock.clear();
            }
            m_purges.push_back(value);
        }
        return 0;
    case kModemControl:
    case kFlowControl:
    case kSetData:
    case kSetEventChar:
    case kSetErrorChar:
        return 0;
    case kSetBaudRate: {
        const std::uint32_t divisor = divisorOf(value, index);
        m_baudRate = unsigned(3000000ULL * 8 / divisor);
        m_clock.setDivisor(divisor, time);
        return 0;
    }
    case kPollModemStatus:
        std::copy_n(kModemStatus, std::min(length, 2), data);
        return std::min(length, 2);
    case kSetLatencyTimer:
        m_latency = value & 0xFF;
        return 0;
    case kGetLatencyTimer:
        if (length < 1) {
            return -EPIPE;
        }
        data[0] = std::uint8_t(m_latency);
        return 1;
    case kSetBitMode:
        m_mask = std::uint8_t(value & 0xFF);
        m_mode = std::uint8_t(value >> 8);
        if (bitBang()) {
            // Output pins take the latch at once.
            drive(std::uint8_t((m_lines & ~m_mask) | (m_latch & m_mask)), time);
        }
        return 0;
    case kReadPins:
        if (length < 1) {
            return -EPIPE;
        }
        data[0] = pinsAt(time);
        return 1;
    case kReadEeprom:
        if (length < 2) {
            return -EPIPE;
        }
        data[0] = m_eeprom[2 * (index & 0x3F)];
        data[1] = m_eeprom[2 * (index & 0x3F) + 1];
        return 2;
    case kWriteEeprom:
        writeEepromWord(index, value);
        return 0;
    default:
        return -EPIPE;
    }
}

int EmulatedFt245r::bulkOut(const std::uint8_t* data, int length, std::int64_t* heldOffUntil) {
    const std::int64_t time = nowNs();
    std::lock_guard<std::mutex> lock(m_mutex);
    advance(time);
    ++m_bulkOutTransfers;
    m_written.insert(m_written.end(), data, data + length);
    *heldOffUntil = 0;
    if (bitBang()) {
        const std::int64_t accepted = m_clock.push(data, std::size_t(length), time);
        if (accepted > time) {
            *heldOffUntil = accepted;
        }
        advance(time);
    }
    return length;
}

int EmulatedFt245r::holdOff(std::int64_t until, int length) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const std::chrono::steady_clock::time_point deadline{std::chrono::nanoseconds(until)};
    m_pulledOut.wait_until(lock, deadline, [&] { return m_pulledOutAt >= 0; });
    if (m_pulledOutAt < 0 || m_pulledOutAt >= until) {
        return length;
    }
    return int(m_clock.acceptedBy(m_pulledOutAt));
}

void EmulatedFt245r::pullOut() {
    const std::int64_t time = nowNs();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_pulledOutAt >= 0) {
            return;
        }
        advance(time);
        m_clock.clear();
        m_pulledOutAt = time;
    }
    m_pulledOut.notify_all();
}

int EmulatedFt245r::bulkIn(std::uint8_t* data, int length) {
    const std::int64_t time = nowNs();
    std::lock_guard<std::mutex> lock(m_mutex);
    advance(time);
    if (length < 2) {
        return 0;
    }
    data[0] = kModemStatus[0];
    data[1] = kModemStatus[1];
    // In bit-bang mode the chip keeps sampling its pins into the buffer.
    const int samples = bitBang() ? std::min(length, kPacketSize) - 2 : 0;
    const std::uint8_t pins = pinsAt(time);
    std::fill_n(data + 2, samples, pins);
    return 2 + samples;
}

ChipSnapshot EmulatedFt245r::snapshot() {
    std::unique_lock<std::mutex> lock(m_mutex);
    advance(nowNs());
    const std::int64_t drained = m_clock.drainedAt(0);
    lock.unlock();
    std::this_thread::sleep_until(
        std::chrono::steady_clock::time_point{std::chrono::nanoseconds(drained)});
    const std::int64_t time = nowNs();
    lock.lock();
    advance(time);
    ChipSnapshot s;
    s.baudRate = m_baudRate;
    s.latency = m_latency;
    s.mask = m_mask;
    s.mode = m_mode;
    s.lines = m_lines;
    s.purges = m_purges;
    s.written = m_written;
    s.bulkOutTransfers = m_bulkOutTransfers;
    s.eeprom = m_eeprom;
    if (const auto* stepper = dynamic_cast<const ftsim::StepperModel*>(m_board.get())) {
        s.stepPosition = stepper->position;
        s.steps = stepper->counted;
        s.stepTimes = stepper->stepTimes;
        s.stepsLost = stepper->lostDisabled + stepper->lostFast;
        s.motorEnabled = stepper->enabled;
        s.shots = stepper->shots.size();
    }
    if (const auto* dc = dynamic_cast<const ftsim::DcModel*>(m_board.get())) {
        s.dcRuns = dc->runs;
        s.dcPresets = dc->presets;
        s.dcCounts = dc->countsAt(time);
    }
    return s;
}
