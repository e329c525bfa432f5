/* C interface of the simulated FT245R bench, for tools that load libftd2xx.so
 * indirectly: a program finds these with dlsym to know it runs on the
 * simulator. They act on the process-wide world, which exists without a C++
 * Bench; constructing a Bench replaces it. */
#ifndef FTSIM_C_H
#define FTSIM_C_H

#ifdef __cplusplus
extern "C" {
#endif

#define FTSIM_C_API __attribute__((visibility("default")))

/* The ranges the settings of a table list (FTSIM_DEVICES) take, so that a
 * tool can refuse its own options for them in the same terms. */
#define FTSIM_MAX_COUNTS 10000000           /* counts=: 1 to this */
#define FTSIM_MAX_COUNT_TIME_MS 60000       /* count-time=: 1 to this */
#define FTSIM_MAX_USB_LATENCY_US 1000000    /* usb-latency=: 0 to this */
#define FTSIM_MAX_BYTE_CLOCK 64             /* byte-clock=: 1 to this */
#define FTSIM_MAX_FAIL_OPEN_STATUS 18       /* fail-open=: 1 (FT_INVALID_HANDLE) to this (FT_OTHER_ERROR) */

/** 1: this libftd2xx.so is the simulator. */
FTSIM_C_API int ftsim_is_simulator(void);
/** Empties the world (no device). 0 on success, -1 while a C++ Bench lives. */
FTSIM_C_API int ftsim_reset(void);
/** Empties the world and attaches the tables `tables` names, in the
 *  FTSIM_DEVICES grammar (see README.md). Returns the number of tables, or -1
 *  with the fault in `error` (at most `errorSize` bytes, NUL-terminated; may
 *  be null) when the text is malformed or a C++ Bench lives; the world is then
 *  left as it was. */
FTSIM_C_API int ftsim_configure(const char* tables, char* error, unsigned long errorSize);
/** Adds a stepper turntable; identityRow -1 writes no identity record.
 *  Returns the device index or -1. */
FTSIM_C_API int ftsim_add_stepper_device(const char* description, const char* serial,
                                         int identityRow, unsigned stepsPerRevolution,
                                         int enableActiveHigh, int clockwiseActiveHigh);
/** Adds a DC counter turntable; returns the device index or -1. */
FTSIM_C_API int ftsim_add_dc_device(const char* description, const char* serial, int identityRow,
                                    unsigned long long countNanoseconds);
/** From now on FT_Open of the device answers `status` (FT_OK: it opens again).
 *  0 on success, -1 for no such device. */
FTSIM_C_API int ftsim_fail_open(int device, unsigned status);
/** Every D2XX call on a device takes that long. 0 on success. */
FTSIM_C_API int ftsim_set_call_delay_us(unsigned microseconds);
/** Writes the device's pins as a VCD file. 0 on success, -1 on failure. */
FTSIM_C_API int ftsim_write_vcd(int device, const char* path);
/** Stepper board counters; 0 for a device without a stepper board. */
FTSIM_C_API long long ftsim_stepper_position(int device);
FTSIM_C_API unsigned long long ftsim_stepper_pulses(int device);
FTSIM_C_API unsigned long long ftsim_stepper_lost(int device);
FTSIM_C_API unsigned ftsim_shots(int device);
/** DC board counts turned; 0 for a device without a DC board. */
FTSIM_C_API unsigned long long ftsim_dc_counts(int device);
/** Board behind a device: 0 none (or no such device), 1 stepper, 2 DC counter. */
FTSIM_C_API int ftsim_board_kind(int device);
/** Counts a revolution of a device's table: a stepper board's steps, or the
 *  Classic's counter turn for the DC board; 0 without a board. */
FTSIM_C_API unsigned ftsim_counts_per_revolution(int device);
/** Devices in the world (plugged or not). */
FTSIM_C_API int ftsim_device_count(void);

#ifdef __cplusplus
}
#endif

#endif /* FTSIM_C_H */
