#pragma once

// Keys of the PostgreSQL driver's connection text and DSN that pemberix.so
// decides on itself before it hands the text on. Data alone: the privileged
// helper reads this table too (without linking pemberix.so) to refuse the
// switches in a system DSN, where root's programs would write the logs.
namespace pemberix_keys {

// A switch that makes the driver write files (its logs, world-readable, in
// /tmp or in the folder Logdir names), or a packed set of flags among which
// such switches are; the long forms handed on after it override it.
enum class KeyValue : unsigned char { WrittenFileSwitch, PackedSwitches };

struct KeyRow {
    const char* name;
    const char* shortName;  // the driver's two-letter form; null when none
    KeyValue value;
    const char* off;  // handed on when the switch is to stay off; null: never handed on
    // The driver's own connection attribute that turns the switch on from
    // code (any value above zero), as root too; 0 when none.
    long attribute;
};

inline constexpr KeyRow kRows[] = {
    {"Debug", "B2", KeyValue::WrittenFileSwitch, "0", 65536},
    {"CommLog", "B3", KeyValue::WrittenFileSwitch, "0", 65537},
    {"Logdir", nullptr, KeyValue::WrittenFileSwitch, nullptr, 0},
    {"CX", nullptr, KeyValue::PackedSwitches, nullptr, 0},
};

}  // namespace pemberix_keys
