#ifndef BOARD_PINS_H
#define BOARD_PINS_H

#include <cstdint>

/// The data-port bit of every line of the two turntable boards, as the
/// boards are wired. The drivers, the simulator's board models and the tests
/// all read them here, so a line moved on a board moves in one place.
/// Depends on nothing, so code that does not link the plug-in can use it.
namespace BoardPins {

/// The stepper board: every line is an output.
namespace Stepper {
constexpr std::uint8_t MOTOR_ENABLE = 0x01;
constexpr std::uint8_t MOTOR_DIRECTION = 0x02;
constexpr std::uint8_t STEP = 0x04;
constexpr std::uint8_t USB_ENABLE = 0x08;
constexpr std::uint8_t FOCUS = 0x10;
constexpr std::uint8_t SHUTTER = 0x20;
/// The bit-mode direction mask: all eight lines driven.
constexpr std::uint8_t OUTPUTS = 0xFF;
}  // namespace Stepper

/// The DC-motor counter board: the status line is its only input.
namespace Dc {
/// The 4-bit preset of the board's counter.
constexpr std::uint8_t COUNTER = 0x0F;
/// Input, high while the table stands.
constexpr std::uint8_t ROTATION_STATUS = 0x10;
constexpr std::uint8_t START = 0x20;
/// High: the run goes on until the line falls; low: the preset is counted.
constexpr std::uint8_t MODE_SET = 0x40;
/// Its rising edge takes the preset into the counter.
constexpr std::uint8_t LOAD_COUNTERS = 0x80;
/// The bit-mode direction mask: every line but the status input driven.
constexpr std::uint8_t OUTPUTS = 0xFF & ~ROTATION_STATUS;
}  // namespace Dc

}  // namespace BoardPins

#endif  // BOARD_PINS_H
