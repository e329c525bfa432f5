#include "StepByteStream.h"

#include <algorithm>

StepByteStream::StepByteStream(unsigned char stepLow, unsigned char stepHigh, uint64_t lowBytes,
                               uint64_t highBytes, uint64_t steps)
    : m_low(stepLow),
      m_high(stepHigh),
      m_lowBytes(lowBytes < 1 ? 1 : lowBytes),
      m_highBytes(highBytes < 1 ? 1 : highBytes),
      m_steps(steps) {}

bool StepByteStream::done() const {
    return m_steps != 0 && m_step == m_steps && m_endWritten;
}

uint64_t StepByteStream::next(std::vector<unsigned char>& chunk, size_t limit) {
    chunk.clear();
    uint64_t rising = 0;
    while (chunk.size() < limit) {
        if (m_steps != 0 && m_step == m_steps) {
            // The last pulse falls: the step line rests low after the move.
            if (!m_endWritten) {
                chunk.push_back(m_low);
                m_endWritten = true;
            }
            break;
        }
        if (m_byteInStep < m_lowBytes) {
            const uint64_t n = std::min<uint64_t>(m_lowBytes - m_byteInStep, limit - chunk.size());
            chunk.insert(chunk.end(), static_cast<size_t>(n), m_low);
            m_byteInStep += n;
            continue;
        }
        if (m_byteInStep == m_lowBytes)
            ++rising;
        const uint64_t stepBytes = m_lowBytes + m_highBytes;
        const uint64_t n = std::min<uint64_t>(stepBytes - m_byteInStep, limit - chunk.size());
        chunk.insert(chunk.end(), static_cast<size_t>(n), m_high);
        m_byteInStep += n;
        if (m_byteInStep == stepBytes) {
            ++m_step;
            m_byteInStep = 0;
        }
    }
    return rising;
}
