#include "core/instruction_catalogue.h"

#include <unordered_map>

#include "core/interruption_ranges.h"

namespace ferrolad {

namespace {

struct TNameRow {
  const char* Name;
  uint16_t Code;
  uint8_t ElementKind;
  const char* Description;
};

// Types: letters of the accepted operand types in order; "_" is the bare number of a label line.
struct TSlotSpec {
  const char* Role;
  const char* Types;
  const char* Caption;
};

// Mnemonics of one family share link class, category and operand slots.
struct TFamilyRow {
  const char* Names[4];
  uint8_t LinkClass;
  uint8_t Category;
  TSlotSpec Slots[4];
};

// Code, element kind and description of every mnemonic, grouped by kind.
// clang-format off
const TNameRow kNameTable[] = {
    {"LD", 0x4061, 2, "NO contact"},
    {"LDI", 0x4001, 3, "NC contact"},
    {"AND", 0x4065, 2, "Series connection - NO contact "},
    {"ANI", 0x4005, 3, "Series connection - NC contact "},
    {"OR", 0x4066, 2, "Parallel connection - NO contact "},
    {"ORI", 0x4046, 3, "Parallel connection - NC contact"},
    {"LDP", 0x4821, 6, "Rising-edge contact"},
    {"LDF", 0x4841, 5, "Falling-edge contact"},
    {"ANDP", 0x4825, 6, "Series connection - rising-edge detecton"},
    {"ANDF", 0x4845, 5, "Series connection - falling-edge detecton"},
    {"ORP", 0x4806, 6, "Parallel connection - rising-edge detection"},
    {"ORF", 0x4826, 5, "Parallel connection - falling-edge detecton"},
    {"OUT", 0x2002, 4, "Output coil"},
    {"INV", 0x4016, 20, "Logic inversion"},
    {"ANB", 0x4007, 0, "Series connection - multiple circuits"},
    {"ORB", 0x4008, 0, "Parallel Connection - multiple circuits)"},
    {"MPS", 0x4009, 0, "Store the result of logic operations and start branching"},
    {"MRD", 0x402A, 0, "Reads the result of logic operations of MPS and start new branch"},
    {"MPP", 0x400A, 0, "Reads the result of logic operations of MPS, start new branch  MPP and close branching"},
    {"P", 0x6051, 21, "Pointer - line number for conditional jump or subprogram call"},
    {"I", 0x6031, 21, "Interruption marker "},
    {"TMR", 0x2014, 11, "Timer - 16 bit"},
    {"CNT", 0x2015, 11, "Counter - 16 bit"},
    {"DCNT", 0x3015, 11, "Counter - 32 bit"},
    {"SET", 0x2024, 11, "Set outpt ON (latch)"},
    {"RST", 0x2004, 11, "Reset contact/register"},
    {"CJ", 0x200D, 11, "Jump to the specified line"},
    {"CJP", 0x280D, 11, "Jump to the specified line  (impulse)"},
    {"CALL", 0x200E, 11, "Transition to the subprogram"},
    {"CALLP", 0x280E, 11, "Transition to the subprogram  (impulse)"},
    {"SRET", 0x600F, 11, "End of subprogram"},
    {"IRET", 0x6010, 11, "End of interruption processing"},
    {"EI", 0x8012, 11, "Enable interruptions"},
    {"DI", 0x8013, 11, "Disable interruptions"},
    {"FEND", 0x6003, 11, "End of main program"},
    {"FOR", 0x400B, 11, "Begin of loop FOR-NEXT"},
    {"NEXT", 0x400C, 11, "End of loop FOR-NEXT"},
    {"NOP", 0x8011, 11, "Empty line"},
    {"END", 0x6023, 11, "End of program"},
    {"CMP", 0x2201, 11, "Comparison of numerical data"},
    {"CMPP", 0x2A01, 11, "Comparison of numerical data  (impulse)"},
    {"DCMP", 0x3201, 11, "Comparison of numerical data  - 32-bit command"},
    {"DCMPP", 0x3A01, 11, "Comparison of numerical data (impulse) - 32-bit command"},
    {"ZCP", 0x2202, 11, "Zone comparison of numerical data"},
    {"ZCPP", 0x2A02, 11, "Zone comparison of numerical data  (impulse)"},
    {"DZCP", 0x3202, 11, "Zone comparison of numerical data  - 32-bit command"},
    {"DZCPP", 0x3A02, 11, "Zone comparison of numerical data (impulse) - 32-bit command"},
    {"MOV", 0x2018, 11, "Data transfer"},
    {"MOVP", 0x2818, 11, "Data transfer  (impulse)"},
    {"DMOV", 0x3018, 11, "Data transfer  - 32-bit command"},
    {"DMOVP", 0x3818, 11, "Data transfer (impulse) - 32-bit command"},
    {"BMOV", 0x2038, 11, "Block data transfer"},
    {"BMOVP", 0x2838, 11, "Block data transfer  (impulse)"},
    {"DBMOV", 0x3038, 11, "Block data transfer  - 32-bit command"},
    {"DBMOVP", 0x3838, 11, "Block data transfer (impulse) - 32-bit command"},
    {"FMOV", 0x2058, 11, "Transferring data to multiple addresses"},
    {"FMOVP", 0x2858, 11, "Transferring data to multiple addresses  (impulse)"},
    {"DFMOV", 0x3058, 11, "Transferring data to multiple addresses  - 32-bit command"},
    {"DFMOVP", 0x3858, 11, "Transferring data to multiple addresses (impulse) - 32-bit command"},
    {"XCH", 0x220A, 11, "Data exchange"},
    {"XCHP", 0x2A0A, 11, "Data exchange  (impulse)"},
    {"DXCH", 0x320A, 11, "Data exchange  - 32-bit command"},
    {"DXCHP", 0x3A0A, 11, "Data exchange (impulse) - 32-bit command"},
    {"ADD", 0x2208, 11, "Addition"},
    {"ADDP", 0x2A08, 11, "Addition  (impulse)"},
    {"DADD", 0x3208, 11, "Addition  - 32-bit command"},
    {"DADDP", 0x3A08, 11, "Addition (impulse) - 32-bit command"},
    {"SUB", 0x2228, 11, "Subtraction"},
    {"SUBP", 0x2A28, 11, "Subtraction  (impulse)"},
    {"DSUB", 0x3228, 11, "Subtraction  - 32-bit command"},
    {"DSUBP", 0x3A28, 11, "Subtraction (impulse) - 32-bit command"},
    {"MUL", 0x2248, 11, "Multiplication"},
    {"MULP", 0x2A48, 11, "Multiplication  (impulse)"},
    {"DMUL", 0x3248, 11, "Multiplication  - 32-bit command"},
    {"DMULP", 0x3A48, 11, "Multiplication (impulse) - 32-bit command"},
    {"DIV", 0x2268, 11, "Division"},
    {"DIVP", 0x2A68, 11, "Division  (impulse)"},
    {"DDIV", 0x3268, 11, "Division  - 32-bit command"},
    {"DDIVP", 0x3A68, 11, "Division (impulse) - 32-bit command"},
    {"INC", 0x2037, 11, "Increment"},
    {"INCP", 0x2837, 11, "Increment  (impulse)"},
    {"DINC", 0x3037, 11, "Increment  - 32-bit command"},
    {"DINCP", 0x3837, 11, "Increment (impulse) - 32-bit command"},
    {"DEC", 0x2017, 11, "Decrement "},
    {"DECP", 0x2817, 11, "Decrement   (impulse)"},
    {"DDEC", 0x3017, 11, "Decrement   - 32-bit command"},
    {"DDECP", 0x3817, 11, "Decrement  (impulse) - 32-bit command"},
    {"WAND", 0x2288, 11, "Logical data multiplication"},
    {"WANDP", 0x2A88, 11, "Logical data multiplication  (impulse)"},
    {"DAND", 0x3288, 11, "Logical data multiplication  - 32-bit command"},
    {"DANDP", 0x3A88, 11, "Logical data multiplication (impulse) - 32-bit command"},
    {"WOR", 0x22A8, 11, "Logical addition of data"},
    {"WORP", 0x2AA8, 11, "Logical addition of data  (impulse)"},
    {"DOR", 0x32A8, 11, "Logical addition of data  - 32-bit command"},
    {"DORP", 0x3AA8, 11, "Logical addition of data (impulse) - 32-bit command"},
    {"WXOR", 0x22C8, 11, "Exclusive OR"},
    {"WXORP", 0x2AC8, 11, "Exclusive OR  (impulse)"},
    {"DXOR", 0x32C8, 11, "Exclusive OR  - 32-bit command"},
    {"DXORP", 0x3AC8, 11, "Exclusive OR (impulse) - 32-bit command"},
    {"NEG", 0x2209, 11, "Logical negation"},
    {"NEGP", 0x2A09, 11, "Logical negation  (impulse)"},
    {"DNEG", 0x3209, 11, "Logical negation  - 32-bit command"},
    {"DNEGP", 0x3A09, 11, "Logical negation (impulse) - 32-bit command"},
    {"ABS", 0x2229, 11, "Absolute value  (module) "},
    {"ABSP", 0x2A29, 11, "Absolute value  (module)   (impulse)"},
    {"DABS", 0x3229, 11, "Absolute value  (module)   - 32-bit command"},
    {"DABSP", 0x3A29, 11, "Absolute value  (module)  (impulse) - 32-bit command"},
    {"ROR", 0x220B, 11, "Cycle shift to the  right"},
    {"RORP", 0x2A0B, 11, "Cycle shift to the  right  (impulse)"},
    {"DROR", 0x320B, 11, "Cycle shift to the  right  - 32-bit command"},
    {"DRORP", 0x3A0B, 11, "Rotate right (impulse) - 32-bit command"},
    {"ROL", 0x222B, 11, "Cycle shift to the  left"},
    {"ROLP", 0x2A2B, 11, "Cycle shift to the  left  (impulse)"},
    {"DROL", 0x322B, 11, "Cycle shift to the  left  - 32-bit command"},
    {"DROLP", 0x3A2B, 11, "Cycle shift to the  left (impulse) - 32-bit command"},
    {"ZRST", 0x2203, 11, "Zone reset "},
    {"ZRSTP", 0x2A03, 11, "Zone reset   (impulse)"},
    {"DECO", 0x2211, 11, "Decode"},
    {"DECOP", 0x2A11, 11, "Decode  (impulse)"},
    {"ENCO", 0x2212, 11, "Encode"},
    {"ENCOP", 0x2A12, 11, "Encode  (impulse)"},
    {"SUM", 0x2213, 11, "The sum of the single bits "},
    {"SUMP", 0x2A13, 11, "The sum of the single bits   (impulse)"},
    {"DSUM", 0x3213, 11, "The sum of the single bits   - 32-bit command"},
    {"DSUMP", 0x3A13, 11, "The sum of the single bits  (impulse) - 32-bit command"},
    {"BON", 0x2214, 11, "Check bit status"},
    {"BONP", 0x2A14, 11, "Check bit status  (impulse)"},
    {"DBON", 0x3214, 11, "Check bit status  - 32-bit command"},
    {"DBONP", 0x3A14, 11, "Check bit status (impulse) - 32-bit command"},
    {"SQR", 0x2215, 11, "Square root"},
    {"SQRP", 0x2A15, 11, "Square root  (impulse)"},
    {"DSQR", 0x3215, 11, "Square root  - 32-bit command"},
    {"DSQRP", 0x3A15, 11, "Square root (impulse) - 32-bit command"},
    {"POW", 0x2216, 11, "Power of a number"},
    {"POWP", 0x2A16, 11, "Power of a number  (impulse)"},
    {"DPOW", 0x3216, 11, "Power of a number  - 32-bit command"},
    {"DPOWP", 0x3A16, 11, "Power of a number (impulse) - 32-bit command"},
    {"FLT", 0x220C, 11, "Floating point "},
    {"FLTP", 0x2A0C, 11, "Floating point   (impulse)"},
    {"DFLT", 0x320C, 11, "Floating point   - 32-bit command"},
    {"DFLTP", 0x3A0C, 11, "Floating point  (impulse) - 32-bit command"},
    {"PWM", 0x220E, 11, "Pulse width modulation "},
    {"DECMP", 0x220F, 11, "Floating point comparison  "},
    {"DECMPP", 0x2A0F, 11, "Floating point comparison    (impulse)"},
    {"DEZCP", 0x2210, 11, "Floating point zone comparison "},
    {"DEZCPP", 0x2A10, 11, "Floating point zone comparison   (impulse)"},
    {"DEADD", 0x2217, 11, "Floating point addition "},
    {"DEADDP", 0x2A17, 11, "Floating point addition   (impulse)"},
    {"DESUB", 0x2237, 11, "Subtraction of floating point numbers"},
    {"DESUBP", 0x2A37, 11, "Subtraction of floating point numbers  (impulse)"},
    {"DEMUL", 0x2257, 11, "Floating point multiplication"},
    {"DEMULP", 0x2A57, 11, "Floating point multiplication  (impulse)"},
    {"DEDIV", 0x2277, 11, "Floating point division"},
    {"DEDIVP", 0x2A77, 11, "Floating point division  (impulse)"},
    {"DESQR", 0x2218, 11, "Floating point square root"},
    {"DESQRP", 0x2A18, 11, "Floating point square root  (impulse)"},
    {"DEPOW", 0x2297, 11, "Power of a floating point number"},
    {"DEPOWP", 0x2A97, 11, "Power of a floating point number  (impulse)"},
    {"INT", 0x220D, 11, " Floating point to integer"},
    {"INTP", 0x2A0D, 11, " Floating point to integer  (impulse)"},
    {"DINT", 0x320D, 11, " Floating point to integer  - 32-bit command"},
    {"DINTP", 0x3A0D, 11, " Floating point to integer (impulse) - 32-bit command"},
    {"TRD", 0x2219, 11, "Reading time data "},
    {"TRDP", 0x2A19, 11, "Reading time data   (impulse)"},
    {"TWR", 0x221A, 11, "Writing time data"},
    {"TWRP", 0x2A1A, 11, "Writing time data  (impulse)"},
    {"MOD", 0x22E8, 11, "Remainder of the division"},
    {"MODP", 0x2AE8, 11, "Remainder of the division  (impulse)"},
    {"DMOD", 0x32E8, 11, "Remainder of the division  - 32-bit command"},
    {"DMODP", 0x3AE8, 11, "Remainder of the division (impulse) - 32-bit command"},
    {"DRD", 0x2239, 11, "Reading date data "},
    {"DRDP", 0x2A39, 11, "Reading date data   (impulse)"},
    {"DWR", 0x223A, 11, "Writing date data"},
    {"DWRP", 0x2A3A, 11, "Writing date data   (impulse)"},
    {"LD&", 0x4204, 7, "Logic contact closed if S1 & S2 ≠ 0"},
    {"DLD&", 0x5204, 7, "Logic contact closed if S1 & S2 ≠ 0, 32-bit command"},
    {"LD|", 0x4224, 7, "Logic contact closed if S1 | S2 ≠ 0"},
    {"DLD|", 0x5224, 7, "Logic contact closed if S1 | S2 ≠ 0, 32-bit command"},
    {"LD^", 0x4244, 7, "Logic contact closed if S1 ^ S2 ≠ 0"},
    {"DLD^", 0x5244, 7, "Logic contact closed if S1 ^ S2 ≠ 0, 32-bit command"},
    {"AND&", 0x4205, 7, "Series logic contact closed if  S1 & S2 ≠ 0"},
    {"DAND&", 0x5205, 7, "Series logic contact closed if  S1 & S2 ≠ 0, 32-bit command"},
    {"AND|", 0x4225, 7, "Series logic contact closed if  S1 | S2 ≠ 0"},
    {"DAND|", 0x5225, 7, "Series logic contact closed if  S1 | S2 ≠ 0, 32-bit command"},
    {"AND^", 0x4245, 7, "Series logic contact closed if  S1 ^ S2 ≠ 0"},
    {"DAND^", 0x5245, 7, "Series logic contact closed if  S1 ^ S2 ≠ 0, 32-bit command"},
    {"OR&", 0x4206, 7, "Parallel  logic contact closed if  S1 & S2 ≠ 0"},
    {"DOR&", 0x5206, 7, "Parallel  logic contact closed if  S1 & S2 ≠ 0, 32-bit command"},
    {"OR|", 0x4226, 7, "Parallel  logic contact closed if  S1 | S2 ≠ 0"},
    {"DOR|", 0x5226, 7, "Parallel  logic contact closed if  S1 | S2 ≠ 0, 32-bit command"},
    {"OR^", 0x4246, 7, "Parallel  logic contact closed if  S1 ^ S2 ≠ 0"},
    {"DOR^", 0x5246, 7, "Parallel  logic contact closed if  S1 ^ S2 ≠ 0, 32-bit command"},
    {"LD=", 0x4264, 7, "Logic contact closed if S1 = S2"},
    {"DLD=", 0x5264, 7, "Logic contact closed if S1 = S2, 32-bit command"},
    {"LD>", 0x4284, 7, "Logic contact closed if S1 > S2"},
    {"DLD>", 0x5284, 7, "Logic contact closed if S1 > S2, 32-bit command"},
    {"LD<", 0x42A4, 7, "Logic contact closed if S1 < S2"},
    {"DLD<", 0x52A4, 7, "Logic contact closed if S1 < S2, 32-bit command"},
    {"LD<>", 0x42C4, 7, "Logic contact closed if S1 ≠ S2"},
    {"DLD<>", 0x52C4, 7, "Logic contact closed if S1 ≠ S2, 32-bit command"},
    {"LD<=", 0x42E4, 7, "Logic contact closed if S1 ≤ S2"},
    {"DLD<=", 0x52E4, 7, "Logic contact closed if S1 ≤ S2, 32-bit command"},
    {"LD>=", 0x4304, 7, "Logic contact closed if S1 ≥ S2"},
    {"DLD>=", 0x5304, 7, "Logic contact closed if S1 ≥ S2, 32-bit command"},
    {"AND=", 0x4265, 7, "Series logic contact closed if  S1 = S2"},
    {"DAND=", 0x5265, 7, "Series logic contact closed if  S1 = S2, 32-bit command"},
    {"AND>", 0x4285, 7, "Series logic contact closed if  S1 > S2"},
    {"DAND>", 0x5285, 7, "Series logic contact closed if  S1 > S2, 32-bit command"},
    {"AND<", 0x42A5, 7, "Series logic contact closed if  S1 < S2"},
    {"DAND<", 0x52A5, 7, "Series logic contact closed if  S1 < S2, 32-bit command"},
    {"AND<>", 0x42C5, 7, "Series logic contact closed if  S1 ≠ S2"},
    {"DAND<>", 0x52C5, 7, "Series logic contact closed if  S1 ≠ S2, 32-bit command"},
    {"AND<=", 0x42E5, 7, "Series logic contact closed if  S1 ≤ S2"},
    {"DAND<=", 0x52E5, 7, "Series logic contact closed if  S1 ≤ S2, 32-bit command"},
    {"AND>=", 0x4305, 7, "Series logic contact closed if  S1 ≥ S2"},
    {"DAND>=", 0x5305, 7, "Series logic contact closed if  S1 ≥ S2, 32-bit command"},
    {"OR=", 0x4266, 7, "Parallel  logic contact closed if  S1 = S2"},
    {"DOR=", 0x5266, 7, "Parallel  logic contact closed if  S1 = S2, 32-bit command"},
    {"OR>", 0x4286, 7, "Parallel  logic contact closed if  S1 > S2"},
    {"DOR>", 0x5286, 7, "Parallel  logic contact closed if  S1 > S2, 32-bit command"},
    {"OR<", 0x42A6, 7, "Parallel  logic contact closed if  S1 < S2"},
    {"DOR<", 0x52A6, 7, "Parallel  logic contact closed if  S1 < S2, 32-bit command"},
    {"OR<>", 0x42C6, 7, "Parallel  logic contact closed if  S1 ≠ S2"},
    {"DOR<>", 0x52C6, 7, "Parallel  logic contact closed if  S1 ≠ S2, 32-bit command"},
    {"OR<=", 0x42E6, 7, "Parallel  logic contact closed if  S1 ≤ S2"},
    {"DOR<=", 0x52E6, 7, "Parallel  logic contact closed if  S1 ≤ S2, 32-bit command"},
    {"OR>=", 0x4306, 7, "Parallel  logic contact closed if  S1 ≥ S2"},
    {"DOR>=", 0x5306, 7, "Parallel  logic contact closed if  S1 ≥ S2, 32-bit command"},
    {"SPIN", 0x2207, 11, "Start motion"},
    {"SPINP", 0x2A07, 11, "Start motion  (impulse)"},
    {"TORQUE", 0x2227, 11, "Set motor phase current "},
    {"TORQUEP", 0x2A27, 11, "Set motor phase current   (impulse)"},
    {"HSTOP", 0x2247, 11, "Switch to hold mode immediately"},
    {"HSTOPP", 0x2A47, 11, "Switch to hold mode immediately  (impulse)"},
    {"HHIZ", 0x2267, 11, "Deenergize motor phases  immediately "},
    {"HHIZP", 0x2A67, 11, "Deenergize motor phases  immediately   (impulse)"},
    {"SSTOP", 0x2287, 11, "Decelerate until full stop and switch to hold mode"},
    {"SSTOPP", 0x2A87, 11, "Decelerate until full stop and switch to hold mode  (impulse)"},
    {"SHIZ", 0x22A7, 11, "Decelerate until full stop and deenergize motor phases  "},
    {"SHIZP", 0x2AA7, 11, "Decelerate until full stop and deenergize motor phases    (impulse)"},
    {"Unknown", 0x0000, 19, "Unknown"},
};

const TFamilyRow kFamilies[] = {
    {{"LD"}, 0, 0, {{"S1", "XYMTC", "Contact name"}}},
    {{"LDI"}, 0, 0, {{"S1", "XYMTC", "Contact name"}}},
    {{"AND"}, 1, 0, {{"S1", "XYMTC", "Contact name"}}},
    {{"ANI"}, 1, 0, {{"S1", "XYMTC", "Contact name"}}},
    {{"OR"}, 2, 0, {{"S1", "XYMTC", "Contact name"}}},
    {{"ORI"}, 2, 0, {{"S1", "XYMTC", "Contact name"}}},
    {{"LDP"}, 0, 0, {{"S1", "XYMTC", "Contact name"}}},
    {{"LDF"}, 0, 0, {{"S1", "XYMTC", "Contact name"}}},
    {{"ANDP"}, 1, 0, {{"S1", "XYMTC", "Contact name"}}},
    {{"ANDF"}, 1, 0, {{"S1", "XYMTC", "Contact name"}}},
    {{"ORP"}, 2, 0, {{"S1", "XYMTC", "Contact name"}}},
    {{"ORF"}, 2, 0, {{"S1", "XYMTC", "Contact name"}}},
    {{"TMR"}, 4, 0, {{"S1", "T", "Number of the timer"}, {"S2", "KHTCABD", "Value"}}},
    {{"CNT", "DCNT"}, 4, 0, {{"S1", "C", "Number of the counter"}, {"S2", "KHTCABD", "Value"}}},
    {{"INV"}, 7, 0, {}},
    {{"ANB"}, 3, 0, {}},
    {{"ORB"}, 3, 0, {}},
    {{"MPS"}, 3, 0, {}},
    {{"MRD"}, 3, 0, {}},
    {{"MPP"}, 3, 0, {}},
    {{"SET"}, 4, 0, {{"S1", "YM", "Contact name"}}},
    {{"RST"}, 4, 0, {{"S1", "YMTCABD", "Contact name"}}},
    {{"OUT"}, 5, 0, {{"S1", "YM", "Contact name"}}},
    {{"CJ", "CJP"}, 4, 1, {{"S1", "P", "Destination pointer P of the conditional jump"}}},
    {{"CALL", "CALLP"}, 4, 1, {{"S1", "P", "Destination pointer P of the conditional jump"}}},
    {{"SRET"}, 4, 1, {}},
    {{"IRET"}, 4, 2, {}},
    {{"EI"}, 4, 2, {}},
    {{"DI"}, 4, 2, {}},
    {{"FEND"}, 4, 0, {}},
    {{"FOR"}, 4, 1, {{"S", "KHTCABD", "Loops repetition number"}}},
    {{"NEXT"}, 4, 1, {}},
    {{"NOP"}, 6, 0, {}},
    {{"P"}, 8, 0, {{"", "_", "Transition point"}}},
    {{"I"}, 8, 0, {{"", "_", "interruption point"}}},
    {{"END"}, 4, 0, {}},
    {{"CMP", "CMPP", "DCMP", "DCMPP"}, 4, 3, {{"S1", "KHTCABD", "Comparison value 1"}, {"S2", "KHTCABD", "Comparison value 2"}, {"D", "YM", "Comparison Result"}}},
    {{"ZCP", "ZCPP", "DZCP", "DZCPP"}, 4, 3, {{"S1", "KHTCABD", "Lower bound"}, {"S2", "KHTCABD", "Upper bound"}, {"S", "KHTCABD", "Comparison value"}, {"D", "YM", "Comparison result"}}},
    {{"MOV", "MOVP", "DMOV", "DMOVP"}, 4, 3, {{"S", "KHFXYMTCABD", "Source"}, {"D", "YMTCABD", "Destination"}}},
    {{"BMOV", "BMOVP", "DBMOV", "DBMOVP"}, 4, 3, {{"S", "KHFXYMTCABD", "Start of source"}, {"D", "YMTCABD", "Start of destination"}, {"n", "KHTCABD", "Number of data to be moved"}}},
    {{"FMOV", "FMOVP", "DFMOV", "DFMOVP"}, 4, 3, {{"S", "KHFXYMTCABD", "Source"}, {"D", "YMTCABD", "Destination"}, {"n", "KHTCABD", "Number of data to be moved"}}},
    {{"XCH", "XCHP", "DXCH", "DXCHP"}, 4, 3, {{"D1", "TCABD", "Exchange 1"}, {"D2", "TCABD", "Exchange 2"}}},
    {{"ADD", "ADDP", "DADD", "DADDP"}, 4, 4, {{"S1", "KHTCABD", "Summand 1"}, {"S2", "KHTCABD", "Summand 2"}, {"D", "TCABD", "Sum destination"}}},
    {{"SUB", "SUBP", "DSUB", "DSUBP"}, 4, 4, {{"S1", "KHTCABD", "Minuend"}, {"S2", "KHTCABD", "Subtrahend"}, {"D", "TCABD", "Remainder"}}},
    {{"MUL", "MULP", "DMUL", "DMULP"}, 4, 4, {{"S1", "KHTCABD", "Multiplicand"}, {"S2", "KHTCABD", "Multiplicator"}, {"D", "TCABD", "Product"}}},
    {{"DIV", "DIVP", "DDIV", "DDIVP"}, 4, 4, {{"S1", "KHTCABD", "Dividend"}, {"S2", "KHTCABD", "Divisor"}, {"D", "TCABD", "Quotient"}}},
    {{"INC", "INCP", "DINC", "DINCP"}, 4, 4, {{"D", "TCABD", "Destination"}}},
    {{"DEC", "DECP", "DDEC", "DDECP"}, 4, 4, {{"D", "TCABD", "Destination"}}},
    {{"WAND", "WANDP", "DAND", "DANDP"}, 4, 4, {{"S1", "KHTCABD", "Source 1"}, {"S2", "KHTCABD", "Source 2"}, {"D", "TCABD", "Result destination"}}},
    {{"WOR", "WORP", "DOR", "DORP"}, 4, 4, {{"S1", "KHTCABD", "Source 1"}, {"S2", "KHTCABD", "Source 2"}, {"D", "TCABD", "Result destination"}}},
    {{"WXOR", "WXORP", "DXOR", "DXORP"}, 4, 4, {{"S1", "KHTCABD", "Source 1"}, {"S2", "KHTCABD", "Source 2"}, {"D", "TCABD", "Result destination"}}},
    {{"NEG", "NEGP", "DNEG", "DNEGP"}, 4, 4, {{"D", "TCABD", "Result destination"}}},
    {{"ABS", "ABSP", "DABS", "DABSP"}, 4, 4, {{"D", "TCABD", "Result destination"}}},
    {{"ROR", "RORP", "DROR", "DRORP"}, 4, 5, {{"D", "TCABD", "Value to be rotated"}, {"n", "KHTCABD", "Number of bits"}}},
    {{"ROL", "ROLP", "DROL", "DROLP"}, 4, 5, {{"D", "TCABD", "Value to be rotated"}, {"n", "KHTCABD", "Number of bits"}}},
    {{"ZRST", "ZRSTP"}, 4, 6, {{"D1", "YMTCABD", "Reset range start"}, {"D2", "YMTCABD", "Reset range- end"}}},
    {{"DECO", "DECOP"}, 4, 6, {{"S", "KHXYMTCABD", "Source"}, {"D", "YMTCABD", "Result destination"}, {"n", "KHTCABD", "Number of operands to be decoded"}}},
    {{"ENCO", "ENCOP"}, 4, 6, {{"S", "KHXYMTCABD", "Source"}, {"D", "YMTCABD", "Result destination"}, {"n", "KHTCABD", "Number of operands to be encoded"}}},
    {{"SUM", "SUMP", "DSUM", "DSUMP"}, 4, 6, {{"S", "KHTCABD", "Source"}, {"D", "TCABD", "Result destination"}}},
    {{"BON", "BONP", "DBON", "DBONP"}, 4, 6, {{"S", "KHTCABD", "Source"}, {"D", "YM", "Result destination"}, {"n", "KHTCABD", "Number of bits"}}},
    {{"SQR", "SQRP", "DSQR", "DSQRP"}, 4, 4, {{"S", "KHTCABD", "Source"}, {"D", "D", "Result destination"}}},
    {{"POW", "POWP", "DPOW", "DPOWP"}, 4, 4, {{"S1", "KHTCABD", "Number"}, {"S2", "KHTCABD", "Power"}, {"D", "D", "Result destination"}}},
    {{"FLT", "FLTP", "DFLT", "DFLTP"}, 4, 7, {{"S", "KHTCABD", "Source"}, {"D", "D", "Result destination"}}},
    {{"PWM"}, 4, 8, {{"S1", "KHTCABD", "Pulse length, t"}, {"S2", "KHTCABD", "Period, T"}, {"D", "Y", "Output number (Y6 or Y7)"}}},
    {{"DECMP", "DECMPP"}, 4, 7, {{"S1", "KHFD", "Comparison value 1"}, {"S2", "KHFD", "Comparison value 2"}, {"D", "YM", "Comparison result"}}},
    {{"DEZCP", "DEZCPP"}, 4, 7, {{"S1", "KHFD", "Lower bound"}, {"S2", "KHFD", "Upper bound"}, {"S", "KHFD", "Comparison value"}, {"D", "YM", "Comparison result"}}},
    {{"DEADD", "DEADDP"}, 4, 7, {{"S1", "KHFD", "Augend"}, {"S2", "KHFD", "Addend"}, {"D", "D", "Result"}}},
    {{"DESUB", "DESUBP"}, 4, 7, {{"S1", "KHFD", "Minuend"}, {"S2", "KHFD", "Subtrahend"}, {"D", "D", "Result"}}},
    {{"DEMUL", "DEMULP"}, 4, 7, {{"S1", "KHFD", "Multiplicand"}, {"S2", "KHFD", "Multiplicator"}, {"D", "D", "Result"}}},
    {{"DEDIV", "DEDIVP"}, 4, 7, {{"S1", "KHFD", "Dividend"}, {"S2", "KHFD", "Divisor"}, {"D", "D", "Result"}}},
    {{"DESQR", "DESQRP"}, 4, 7, {{"S", "KHFD", "Source"}, {"D", "D", "Result"}}},
    {{"DEPOW", "DEPOWP"}, 4, 7, {{"S1", "KHFD", "Number"}, {"S2", "KHFD", "Power"}, {"D", "D", "Result"}}},
    {{"INT", "INTP", "DINT", "DINTP"}, 4, 7, {{"S", "KD", "Source"}, {"D", "TCABD", "Result"}}},
    {{"TRD", "TRDP"}, 4, 8, {{"D", "D", "Result"}}},
    {{"TWR", "TWRP"}, 4, 8, {{"S", "D", "Source"}}},
    {{"LD&", "DLD&"}, 9, 9, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"LD|", "DLD|"}, 9, 9, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"LD^", "DLD^"}, 9, 9, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"AND&", "DAND&"}, 10, 9, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"AND|", "DAND|"}, 10, 9, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"AND^", "DAND^"}, 10, 9, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"OR&", "DOR&"}, 11, 9, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"OR|", "DOR|"}, 11, 9, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"OR^", "DOR^"}, 11, 9, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"LD=", "DLD="}, 9, 10, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"LD>", "DLD>"}, 9, 10, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"LD<", "DLD<"}, 9, 10, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"LD<>", "DLD<>"}, 9, 10, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"LD<=", "DLD<="}, 9, 10, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"LD>=", "DLD>="}, 9, 10, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"AND=", "DAND="}, 10, 10, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"AND>", "DAND>"}, 10, 10, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"AND<", "DAND<"}, 10, 10, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"AND<>", "DAND<>"}, 10, 10, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"AND<=", "DAND<="}, 10, 10, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"AND>=", "DAND>="}, 10, 10, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"OR=", "DOR="}, 11, 10, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"OR>", "DOR>"}, 11, 10, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"OR<", "DOR<"}, 11, 10, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"OR<>", "DOR<>"}, 11, 10, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"OR<=", "DOR<="}, 11, 10, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"OR>=", "DOR>="}, 11, 10, {{"S1", "KHXYMTCABD", "Source 1"}, {"S2", "KHXYMTCABD", "Source 2"}}},
    {{"SPIN", "SPINP"}, 4, 11, {}},
    {{"TORQUE", "TORQUEP"}, 4, 11, {}},
    {{"HSTOP", "HSTOPP"}, 4, 11, {}},
    {{"HHIZ", "HHIZP"}, 4, 11, {}},
    {{"SSTOP", "SSTOPP"}, 4, 11, {}},
    {{"SHIZ", "SHIZP"}, 4, 11, {}},
    {{"MOD", "MODP", "DMOD", "DMODP"}, 4, 4, {{"S1", "KHTCABD", "Dividend"}, {"S2", "KHTCABD", "Divisor"}, {"D", "TCABD", "Demainder of division"}}},
    {{"DRD", "DRDP"}, 4, 8, {{"D", "D", "Result"}}},
    {{"DWR"}, 4, 8, {{"S", "D", "Source"}}},
    {{"DWRP"}, 4, 8, {{"S", "D", "Sourcet"}}},
};
// clang-format on

constexpr int kLabelPMaxNumber = 31;

struct TCatalogue {
  std::vector<TInstructions> Entries;
  std::vector<TInstrAPI_Name> Names;
  std::unordered_map<std::string_view, int> ByName;  // keys point at the static tables above
  std::vector<int16_t> ByCode;                       // 65536 slots, 0 = "Unknown"
};

TOperand SlotRow(TOperandType type) {
  const TOperand& src = OperandTypeRow(type);
  TOperand r;
  r.OpType = src.OpType;
  r.Name = src.Name;
  r.MaxNumber = src.MaxNumber;
  r.MinNumber = src.MinNumber;
  r.IndexAllowed = src.IndexAllowed;
  return r;
}

TCatalogue Build() {
  TCatalogue c;
  std::unordered_map<std::string_view, const TNameRow*> names;
  for (const TNameRow& row : kNameTable) {
    names.emplace(row.Name, &row);
    c.Names.push_back({row.Name, row.Code, row.ElementKind, row.Description});
  }
  auto fill = [&](TInstructions& e, const char* name) {
    e.Name = name;
    auto it = names.find(name);
    if (it != names.end()) {
      e.Code = it->second->Code;
      e.ElementKind = it->second->ElementKind;
      e.Description = it->second->Description;
    } else {
      e.Code = 0;
      e.ElementKind = 0;
      e.Description = "Unknown";
    }
    e.IsPulse = (e.Code & 0x0800) != 0;
    e.Is32Bit = (e.Code & 0x1000) != 0;
    e.Group = static_cast<uint8_t>(e.Code >> 13);
  };

  c.Entries.reserve(kInstructionCount);
  c.Entries.emplace_back();
  fill(c.Entries.back(), "Unknown");
  c.ByName.emplace("Unknown", 0);
  for (const TFamilyRow& fam : kFamilies) {
    for (const char* name : fam.Names) {
      if (name == nullptr) break;
      TInstructions e;
      fill(e, name);
      e.LinkClass = fam.LinkClass;
      e.Category = fam.Category;
      for (int k = 0; k < 4 && fam.Slots[k].Types != nullptr; ++k) {
        TInstructionOperand& slot = e.Operands[static_cast<size_t>(k)];
        slot.Role = fam.Slots[k].Role;
        slot.Caption = fam.Slots[k].Caption;
        for (const char* t = fam.Slots[k].Types; *t != '\0'; ++t) {
          TOperand row = SlotRow(*t == '_' ? OpTypeEmpty : TypeFromLetter(*t));
          if (*t == '_' && e.Name == "P") row.MaxNumber = kLabelPMaxNumber;
          slot.Types.push_back(std::move(row));
        }
      }
      c.ByName.emplace(name, static_cast<int>(c.Entries.size()));
      c.Entries.push_back(std::move(e));
    }
  }
  c.ByCode.assign(65536, 0);
  for (size_t i = c.Entries.size(); i-- > 1;) {  // backwards, so the first entry of a code wins
    if (c.Entries[i].Code != 0) c.ByCode[c.Entries[i].Code] = static_cast<int16_t>(i);
  }
  return c;
}

const TCatalogue& Catalogue() {
  static const TCatalogue catalogue = Build();
  return catalogue;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

void InitInstructionCatalogue() { (void)Catalogue(); }

const std::vector<TInstructions>& InstructionCatalogue() { return Catalogue().Entries; }
const std::vector<TInstrAPI_Name>& InstructionNameTable() { return Catalogue().Names; }

int FindInstructionIndexByName(std::string_view name) {
  const auto& map = Catalogue().ByName;
  auto it = map.find(name);
  return it == map.end() ? 0 : it->second;
}

int FindInstructionIndexByCode(uint16_t code) { return Catalogue().ByCode[code]; }

TInstructions FindInstructionByName(std::string_view name) {
  return Catalogue().Entries[static_cast<size_t>(FindInstructionIndexByName(name))];
}

TInstructions FindInstructionByCode(uint16_t code) {
  return Catalogue().Entries[static_cast<size_t>(FindInstructionIndexByCode(code))];
}

TInstructions InstructionForElementKind(int elementKind) {
  switch (elementKind) {
    case 2: return FindInstructionByName("LD");
    case 3: return FindInstructionByName("LDI");
    case 4: return FindInstructionByName("OUT");
    case 5: return FindInstructionByName("LDF");
    case 6: return FindInstructionByName("LDP");
    case 7:
    case 8:
    case 9:
    case 10: return FindInstructionByName("LD&");
    case 20: return FindInstructionByName("INV");
    default: return Catalogue().Entries[0];
  }
}

int OperandCount(const TInstructions& entry) {
  int n = 0;
  while (n < 4 && !entry.Operands[static_cast<size_t>(n)].Types.empty()) ++n;
  return n;
}

int CellSpan(const TInstructions& entry) {
  int base = 0;
  switch (entry.LinkClass) {
    case LinkCoil: base = -1; break;
    case LinkOutputSide:
    case LinkInversion:
    case LinkLoadCompare:
    case LinkSeriesCompare:
    case LinkParallelCompare: base = 1; break;
    default: base = 0; break;
  }
  int used = 0;
  for (const auto& slot : entry.Operands) {
    if (!slot.Types.empty()) ++used;
  }
  return base + used;
}

std::string_view LineMnemonic(std::string_view line) {
  size_t end = 0;
  while (end < line.size() && !IsBlank(line[end])) ++end;
  return line.substr(0, end);
}

bool IsOutputLine(std::string_view line) {
  const TInstructions& e =
      Catalogue().Entries[static_cast<size_t>(FindInstructionIndexByName(LineMnemonic(line)))];
  return e.ElementKind == 4 || e.ElementKind == 11;
}

bool HasEntryCondition(std::string_view mnemonic) {
  static constexpr std::string_view kWithout[] = {"SRET", "IRET", "FOR", "NEXT", "EI",
                                                  "DI",   "END",  "FEND", "NOP"};
  for (std::string_view m : kWithout) {
    if (m == mnemonic) return false;
  }
  return true;
}

bool ValidateOperand(const TSingleOperand& operand, int slot, const TInstructions& entry) {
  if (operand.OpType == OpTypeNull || static_cast<unsigned>(operand.OpType) >= kOperandTypeCount) return false;
  int64_t minNumber = 0;
  int64_t maxNumber = 0;
  if (entry.Code == 0) {
    const TOperand& row = OperandTypeRow(operand.OpType);
    minNumber = row.MinNumber;
    maxNumber = row.MaxNumber;
  } else {
    if (slot < 1 || slot > 4) return false;
    const TOperand* found = nullptr;
    for (const TOperand& t : entry.Operands[static_cast<size_t>(slot - 1)].Types) {
      if (t.OpType == operand.OpType) {
        found = &t;
        break;
      }
    }
    if (found == nullptr) return false;
    minNumber = found->MinNumber;
    maxNumber = found->MaxNumber;
  }
  if (operand.Value < minNumber || operand.Value > maxNumber) return false;
  if (entry.Code != 0 && entry.Name == "I") return InInterruptionRange("I", operand.Value);
  return true;
}

bool ValidateOperand(const TSingleOperand& operand, int slot, uint16_t code) {
  return ValidateOperand(operand, slot, Catalogue().Entries[static_cast<size_t>(FindInstructionIndexByCode(code))]);
}

}  // namespace ferrolad
