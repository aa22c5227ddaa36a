#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/instruction_catalogue.h"

using namespace ferrolad;

namespace {

struct Expected {
  const char* Name;
  uint16_t Code;
  int LinkClass;
  int Category;
  int ElementKind;
  int Operands;
};

// Written out from the controller's instruction set, in catalogue order.
const Expected kExpected[] = {
    {"Unknown", 0x0000, 0, 12, 19, 0}, {"LD", 0x4061, 0, 0, 2, 1}, {"LDI", 0x4001, 0, 0, 3, 1}, {"AND", 0x4065, 1, 0, 2, 1},
    {"ANI", 0x4005, 1, 0, 3, 1}, {"OR", 0x4066, 2, 0, 2, 1}, {"ORI", 0x4046, 2, 0, 3, 1}, {"LDP", 0x4821, 0, 0, 6, 1},
    {"LDF", 0x4841, 0, 0, 5, 1}, {"ANDP", 0x4825, 1, 0, 6, 1}, {"ANDF", 0x4845, 1, 0, 5, 1}, {"ORP", 0x4806, 2, 0, 6, 1},
    {"ORF", 0x4826, 2, 0, 5, 1}, {"TMR", 0x2014, 4, 0, 11, 2}, {"CNT", 0x2015, 4, 0, 11, 2}, {"DCNT", 0x3015, 4, 0, 11, 2},
    {"INV", 0x4016, 7, 0, 20, 0}, {"ANB", 0x4007, 3, 0, 0, 0}, {"ORB", 0x4008, 3, 0, 0, 0}, {"MPS", 0x4009, 3, 0, 0, 0},
    {"MRD", 0x402A, 3, 0, 0, 0}, {"MPP", 0x400A, 3, 0, 0, 0}, {"SET", 0x2024, 4, 0, 11, 1}, {"RST", 0x2004, 4, 0, 11, 1},
    {"OUT", 0x2002, 5, 0, 4, 1}, {"CJ", 0x200D, 4, 1, 11, 1}, {"CJP", 0x280D, 4, 1, 11, 1}, {"CALL", 0x200E, 4, 1, 11, 1},
    {"CALLP", 0x280E, 4, 1, 11, 1}, {"SRET", 0x600F, 4, 1, 11, 0}, {"IRET", 0x6010, 4, 2, 11, 0}, {"EI", 0x8012, 4, 2, 11, 0},
    {"DI", 0x8013, 4, 2, 11, 0}, {"FEND", 0x6003, 4, 0, 11, 0}, {"FOR", 0x400B, 4, 1, 11, 1}, {"NEXT", 0x400C, 4, 1, 11, 0},
    {"NOP", 0x8011, 6, 0, 11, 0}, {"P", 0x6051, 8, 0, 21, 1}, {"I", 0x6031, 8, 0, 21, 1}, {"END", 0x6023, 4, 0, 11, 0},
    {"CMP", 0x2201, 4, 3, 11, 3}, {"CMPP", 0x2A01, 4, 3, 11, 3}, {"DCMP", 0x3201, 4, 3, 11, 3}, {"DCMPP", 0x3A01, 4, 3, 11, 3},
    {"ZCP", 0x2202, 4, 3, 11, 4}, {"ZCPP", 0x2A02, 4, 3, 11, 4}, {"DZCP", 0x3202, 4, 3, 11, 4}, {"DZCPP", 0x3A02, 4, 3, 11, 4},
    {"MOV", 0x2018, 4, 3, 11, 2}, {"MOVP", 0x2818, 4, 3, 11, 2}, {"DMOV", 0x3018, 4, 3, 11, 2}, {"DMOVP", 0x3818, 4, 3, 11, 2},
    {"BMOV", 0x2038, 4, 3, 11, 3}, {"BMOVP", 0x2838, 4, 3, 11, 3}, {"DBMOV", 0x3038, 4, 3, 11, 3}, {"DBMOVP", 0x3838, 4, 3, 11, 3},
    {"FMOV", 0x2058, 4, 3, 11, 3}, {"FMOVP", 0x2858, 4, 3, 11, 3}, {"DFMOV", 0x3058, 4, 3, 11, 3}, {"DFMOVP", 0x3858, 4, 3, 11, 3},
    {"XCH", 0x220A, 4, 3, 11, 2}, {"XCHP", 0x2A0A, 4, 3, 11, 2}, {"DXCH", 0x320A, 4, 3, 11, 2}, {"DXCHP", 0x3A0A, 4, 3, 11, 2},
    {"ADD", 0x2208, 4, 4, 11, 3}, {"ADDP", 0x2A08, 4, 4, 11, 3}, {"DADD", 0x3208, 4, 4, 11, 3}, {"DADDP", 0x3A08, 4, 4, 11, 3},
    {"SUB", 0x2228, 4, 4, 11, 3}, {"SUBP", 0x2A28, 4, 4, 11, 3}, {"DSUB", 0x3228, 4, 4, 11, 3}, {"DSUBP", 0x3A28, 4, 4, 11, 3},
    {"MUL", 0x2248, 4, 4, 11, 3}, {"MULP", 0x2A48, 4, 4, 11, 3}, {"DMUL", 0x3248, 4, 4, 11, 3}, {"DMULP", 0x3A48, 4, 4, 11, 3},
    {"DIV", 0x2268, 4, 4, 11, 3}, {"DIVP", 0x2A68, 4, 4, 11, 3}, {"DDIV", 0x3268, 4, 4, 11, 3}, {"DDIVP", 0x3A68, 4, 4, 11, 3},
    {"INC", 0x2037, 4, 4, 11, 1}, {"INCP", 0x2837, 4, 4, 11, 1}, {"DINC", 0x3037, 4, 4, 11, 1}, {"DINCP", 0x3837, 4, 4, 11, 1},
    {"DEC", 0x2017, 4, 4, 11, 1}, {"DECP", 0x2817, 4, 4, 11, 1}, {"DDEC", 0x3017, 4, 4, 11, 1}, {"DDECP", 0x3817, 4, 4, 11, 1},
    {"WAND", 0x2288, 4, 4, 11, 3}, {"WANDP", 0x2A88, 4, 4, 11, 3}, {"DAND", 0x3288, 4, 4, 11, 3}, {"DANDP", 0x3A88, 4, 4, 11, 3},
    {"WOR", 0x22A8, 4, 4, 11, 3}, {"WORP", 0x2AA8, 4, 4, 11, 3}, {"DOR", 0x32A8, 4, 4, 11, 3}, {"DORP", 0x3AA8, 4, 4, 11, 3},
    {"WXOR", 0x22C8, 4, 4, 11, 3}, {"WXORP", 0x2AC8, 4, 4, 11, 3}, {"DXOR", 0x32C8, 4, 4, 11, 3}, {"DXORP", 0x3AC8, 4, 4, 11, 3},
    {"NEG", 0x2209, 4, 4, 11, 1}, {"NEGP", 0x2A09, 4, 4, 11, 1}, {"DNEG", 0x3209, 4, 4, 11, 1}, {"DNEGP", 0x3A09, 4, 4, 11, 1},
    {"ABS", 0x2229, 4, 4, 11, 1}, {"ABSP", 0x2A29, 4, 4, 11, 1}, {"DABS", 0x3229, 4, 4, 11, 1}, {"DABSP", 0x3A29, 4, 4, 11, 1},
    {"ROR", 0x220B, 4, 5, 11, 2}, {"RORP", 0x2A0B, 4, 5, 11, 2}, {"DROR", 0x320B, 4, 5, 11, 2}, {"DRORP", 0x3A0B, 4, 5, 11, 2},
    {"ROL", 0x222B, 4, 5, 11, 2}, {"ROLP", 0x2A2B, 4, 5, 11, 2}, {"DROL", 0x322B, 4, 5, 11, 2}, {"DROLP", 0x3A2B, 4, 5, 11, 2},
    {"ZRST", 0x2203, 4, 6, 11, 2}, {"ZRSTP", 0x2A03, 4, 6, 11, 2}, {"DECO", 0x2211, 4, 6, 11, 3}, {"DECOP", 0x2A11, 4, 6, 11, 3},
    {"ENCO", 0x2212, 4, 6, 11, 3}, {"ENCOP", 0x2A12, 4, 6, 11, 3}, {"SUM", 0x2213, 4, 6, 11, 2}, {"SUMP", 0x2A13, 4, 6, 11, 2},
    {"DSUM", 0x3213, 4, 6, 11, 2}, {"DSUMP", 0x3A13, 4, 6, 11, 2}, {"BON", 0x2214, 4, 6, 11, 3}, {"BONP", 0x2A14, 4, 6, 11, 3},
    {"DBON", 0x3214, 4, 6, 11, 3}, {"DBONP", 0x3A14, 4, 6, 11, 3}, {"SQR", 0x2215, 4, 4, 11, 2}, {"SQRP", 0x2A15, 4, 4, 11, 2},
    {"DSQR", 0x3215, 4, 4, 11, 2}, {"DSQRP", 0x3A15, 4, 4, 11, 2}, {"POW", 0x2216, 4, 4, 11, 3}, {"POWP", 0x2A16, 4, 4, 11, 3},
    {"DPOW", 0x3216, 4, 4, 11, 3}, {"DPOWP", 0x3A16, 4, 4, 11, 3}, {"FLT", 0x220C, 4, 7, 11, 2}, {"FLTP", 0x2A0C, 4, 7, 11, 2},
    {"DFLT", 0x320C, 4, 7, 11, 2}, {"DFLTP", 0x3A0C, 4, 7, 11, 2}, {"PWM", 0x220E, 4, 8, 11, 3}, {"DECMP", 0x220F, 4, 7, 11, 3},
    {"DECMPP", 0x2A0F, 4, 7, 11, 3}, {"DEZCP", 0x2210, 4, 7, 11, 4}, {"DEZCPP", 0x2A10, 4, 7, 11, 4}, {"DEADD", 0x2217, 4, 7, 11, 3},
    {"DEADDP", 0x2A17, 4, 7, 11, 3}, {"DESUB", 0x2237, 4, 7, 11, 3}, {"DESUBP", 0x2A37, 4, 7, 11, 3}, {"DEMUL", 0x2257, 4, 7, 11, 3},
    {"DEMULP", 0x2A57, 4, 7, 11, 3}, {"DEDIV", 0x2277, 4, 7, 11, 3}, {"DEDIVP", 0x2A77, 4, 7, 11, 3}, {"DESQR", 0x2218, 4, 7, 11, 2},
    {"DESQRP", 0x2A18, 4, 7, 11, 2}, {"DEPOW", 0x2297, 4, 7, 11, 3}, {"DEPOWP", 0x2A97, 4, 7, 11, 3}, {"INT", 0x220D, 4, 7, 11, 2},
    {"INTP", 0x2A0D, 4, 7, 11, 2}, {"DINT", 0x320D, 4, 7, 11, 2}, {"DINTP", 0x3A0D, 4, 7, 11, 2}, {"TRD", 0x2219, 4, 8, 11, 1},
    {"TRDP", 0x2A19, 4, 8, 11, 1}, {"TWR", 0x221A, 4, 8, 11, 1}, {"TWRP", 0x2A1A, 4, 8, 11, 1}, {"LD&", 0x4204, 9, 9, 7, 2},
    {"DLD&", 0x5204, 9, 9, 7, 2}, {"LD|", 0x4224, 9, 9, 7, 2}, {"DLD|", 0x5224, 9, 9, 7, 2}, {"LD^", 0x4244, 9, 9, 7, 2},
    {"DLD^", 0x5244, 9, 9, 7, 2}, {"AND&", 0x4205, 10, 9, 7, 2}, {"DAND&", 0x5205, 10, 9, 7, 2}, {"AND|", 0x4225, 10, 9, 7, 2},
    {"DAND|", 0x5225, 10, 9, 7, 2}, {"AND^", 0x4245, 10, 9, 7, 2}, {"DAND^", 0x5245, 10, 9, 7, 2}, {"OR&", 0x4206, 11, 9, 7, 2},
    {"DOR&", 0x5206, 11, 9, 7, 2}, {"OR|", 0x4226, 11, 9, 7, 2}, {"DOR|", 0x5226, 11, 9, 7, 2}, {"OR^", 0x4246, 11, 9, 7, 2},
    {"DOR^", 0x5246, 11, 9, 7, 2}, {"LD=", 0x4264, 9, 10, 7, 2}, {"DLD=", 0x5264, 9, 10, 7, 2}, {"LD>", 0x4284, 9, 10, 7, 2},
    {"DLD>", 0x5284, 9, 10, 7, 2}, {"LD<", 0x42A4, 9, 10, 7, 2}, {"DLD<", 0x52A4, 9, 10, 7, 2}, {"LD<>", 0x42C4, 9, 10, 7, 2},
    {"DLD<>", 0x52C4, 9, 10, 7, 2}, {"LD<=", 0x42E4, 9, 10, 7, 2}, {"DLD<=", 0x52E4, 9, 10, 7, 2}, {"LD>=", 0x4304, 9, 10, 7, 2},
    {"DLD>=", 0x5304, 9, 10, 7, 2}, {"AND=", 0x4265, 10, 10, 7, 2}, {"DAND=", 0x5265, 10, 10, 7, 2}, {"AND>", 0x4285, 10, 10, 7, 2},
    {"DAND>", 0x5285, 10, 10, 7, 2}, {"AND<", 0x42A5, 10, 10, 7, 2}, {"DAND<", 0x52A5, 10, 10, 7, 2}, {"AND<>", 0x42C5, 10, 10, 7, 2},
    {"DAND<>", 0x52C5, 10, 10, 7, 2}, {"AND<=", 0x42E5, 10, 10, 7, 2}, {"DAND<=", 0x52E5, 10, 10, 7, 2}, {"AND>=", 0x4305, 10, 10, 7, 2},
    {"DAND>=", 0x5305, 10, 10, 7, 2}, {"OR=", 0x4266, 11, 10, 7, 2}, {"DOR=", 0x5266, 11, 10, 7, 2}, {"OR>", 0x4286, 11, 10, 7, 2},
    {"DOR>", 0x5286, 11, 10, 7, 2}, {"OR<", 0x42A6, 11, 10, 7, 2}, {"DOR<", 0x52A6, 11, 10, 7, 2}, {"OR<>", 0x42C6, 11, 10, 7, 2},
    {"DOR<>", 0x52C6, 11, 10, 7, 2}, {"OR<=", 0x42E6, 11, 10, 7, 2}, {"DOR<=", 0x52E6, 11, 10, 7, 2}, {"OR>=", 0x4306, 11, 10, 7, 2},
    {"DOR>=", 0x5306, 11, 10, 7, 2}, {"SPIN", 0x2207, 4, 11, 11, 0}, {"SPINP", 0x2A07, 4, 11, 11, 0}, {"TORQUE", 0x2227, 4, 11, 11, 0},
    {"TORQUEP", 0x2A27, 4, 11, 11, 0}, {"HSTOP", 0x2247, 4, 11, 11, 0}, {"HSTOPP", 0x2A47, 4, 11, 11, 0}, {"HHIZ", 0x2267, 4, 11, 11, 0},
    {"HHIZP", 0x2A67, 4, 11, 11, 0}, {"SSTOP", 0x2287, 4, 11, 11, 0}, {"SSTOPP", 0x2A87, 4, 11, 11, 0}, {"SHIZ", 0x22A7, 4, 11, 11, 0},
    {"SHIZP", 0x2AA7, 4, 11, 11, 0}, {"MOD", 0x22E8, 4, 4, 11, 3}, {"MODP", 0x2AE8, 4, 4, 11, 3}, {"DMOD", 0x32E8, 4, 4, 11, 3},
    {"DMODP", 0x3AE8, 4, 4, 11, 3}, {"DRD", 0x2239, 4, 8, 11, 1}, {"DRDP", 0x2A39, 4, 8, 11, 1}, {"DWR", 0x223A, 4, 8, 11, 1},
    {"DWRP", 0x2A3A, 4, 8, 11, 1},
};

}  // namespace

TEST(InstructionCatalogue, EveryEntryMatchesTheInstructionSet) {
  InitInstructionCatalogue();
  const auto& cat = InstructionCatalogue();
  ASSERT_EQ(cat.size(), std::size(kExpected));
  for (size_t i = 0; i < cat.size(); ++i) {
    const Expected& x = kExpected[i];
    const TInstructions& e = cat[i];
    SCOPED_TRACE(std::to_string(i) + " " + x.Name);
    EXPECT_EQ(e.Name, x.Name);
    EXPECT_EQ(e.Code, x.Code);
    EXPECT_EQ(e.LinkClass, x.LinkClass);
    EXPECT_EQ(e.Category, x.Category);
    EXPECT_EQ(e.ElementKind, x.ElementKind);
    EXPECT_EQ(OperandCount(e), x.Operands);
    EXPECT_EQ(e.IsPulse, (x.Code & 0x0800) != 0);
    EXPECT_EQ(e.Is32Bit, (x.Code & 0x1000) != 0);
    EXPECT_EQ(e.Group, x.Code >> 13);
    EXPECT_FALSE(e.Description.empty());
    // Lookups by name and by code come back to this very entry.
    EXPECT_EQ(FindInstructionIndexByName(x.Name), static_cast<int>(i));
    EXPECT_EQ(FindInstructionByCode(x.Code).Name, x.Name);
    // Slots in use have types and a caption; unused slots are empty.
    for (int k = 0; k < 4; ++k) {
      const auto& slot = e.Operands[static_cast<size_t>(k)];
      if (k < x.Operands) {
        EXPECT_FALSE(slot.Types.empty()) << k;
        EXPECT_FALSE(slot.Caption.empty()) << k;
      } else {
        EXPECT_TRUE(slot.Types.empty()) << k;
      }
    }
  }
}

TEST(InstructionCatalogue, NamesAndCodesAreUniqueAndNameTableCoversEveryMnemonic) {
  const auto& names = InstructionNameTable();
  ASSERT_EQ(names.size(), 241u);
  std::set<std::string> seenNames;
  std::set<uint16_t> seenCodes;
  for (const auto& row : names) {
    EXPECT_TRUE(seenNames.insert(row.Name).second) << row.Name;
    EXPECT_TRUE(seenCodes.insert(row.Code).second) << row.Name;
    const TInstructions e = FindInstructionByName(row.Name);
    EXPECT_EQ(e.Code, row.Code) << row.Name;
    EXPECT_EQ(e.ElementKind, row.ElementKind) << row.Name;
    EXPECT_EQ(e.Description, row.Description) << row.Name;
  }
}

TEST(InstructionCatalogue, DescriptionsOfVariants) {
  struct Case {
    const char* Name;
    const char* Description;
  };
  const Case cases[] = {
      {"MOV", "Data transfer"},
      {"MOVP", "Data transfer  (impulse)"},
      {"DMOV", "Data transfer  - 32-bit command"},
      {"DMOVP", "Data transfer (impulse) - 32-bit command"},
      {"DLD=", "Logic contact closed if S1 = S2, 32-bit command"},
      {"DCNT", "Counter - 32 bit"},
      {"DRORP", "Rotate right (impulse) - 32-bit command"},
      {"DWRP", "Writing date data   (impulse)"},
      {"Unknown", "Unknown"},
      {"ORB", "Parallel Connection - multiple circuits)"},
  };
  for (const auto& c : cases) EXPECT_EQ(FindInstructionByName(c.Name).Description, c.Description) << c.Name;
}

TEST(InstructionCatalogue, OperandSlotsOfSelectedFamilies) {
  auto letters = [](const TInstructionOperand& slot) {
    std::string s;
    for (const auto& t : slot.Types) s += t.OpType == OpTypeEmpty ? '_' : LetterFromType(t.OpType);
    return s;
  };
  const TInstructions mov = FindInstructionByName("DMOVP");
  EXPECT_EQ(letters(mov.Operands[0]), "KHFXYMTCABD");
  EXPECT_EQ(mov.Operands[0].Role, "S");
  EXPECT_EQ(mov.Operands[0].Caption, "Source");
  EXPECT_EQ(letters(mov.Operands[1]), "YMTCABD");
  EXPECT_EQ(mov.Operands[1].Role, "D");
  const TInstructions zcp = FindInstructionByName("ZCPP");
  EXPECT_EQ(zcp.Operands[2].Role, "S");
  EXPECT_EQ(zcp.Operands[3].Caption, "Comparison result");
  EXPECT_EQ(letters(FindInstructionByName("PWM").Operands[2]), "Y");
  EXPECT_EQ(letters(FindInstructionByName("INT").Operands[0]), "KD");
  EXPECT_EQ(letters(FindInstructionByName("DMODP").Operands[2]), "TCABD");
  EXPECT_EQ(FindInstructionByName("DMODP").Operands[2].Caption, "Demainder of division");
  EXPECT_EQ(FindInstructionByName("DWRP").Operands[0].Caption, "Sourcet");
  // Slot rows carry the number range but no value ranges.
  const TOperand t = FindInstructionByName("TMR").Operands[0].Types[0];
  EXPECT_EQ(t.OpType, OpTypeT);
  EXPECT_EQ(t.MaxNumber, 63);
  EXPECT_EQ(t.IndexAllowed, 1);
  EXPECT_EQ(t.MaxValue16, 0);
  // The P label accepts 0..31, the I label keeps the table's 2001.
  const TInstructions p = FindInstructionByName("P");
  const TInstructions i = FindInstructionByName("I");
  EXPECT_EQ(letters(p.Operands[0]), "_");
  EXPECT_EQ(p.Operands[0].Types[0].MaxNumber, 31);
  EXPECT_EQ(i.Operands[0].Types[0].MaxNumber, 2001);
  EXPECT_EQ(OperandTypeRow(OpTypeEmpty).MaxNumber, 2001);
}

TEST(InstructionCatalogue, LookupsThatFindNothingGiveUnknown) {
  for (const char* name : {"ld", "", "LDX0", "MOV ", "Unknow", "\xff\xfe"}) {
    const TInstructions e = FindInstructionByName(name);
    EXPECT_EQ(e.Code, 0) << name;
    EXPECT_EQ(e.Name, "Unknown") << name;
  }
  EXPECT_EQ(FindInstructionByCode(0x1234).Name, "Unknown");
  EXPECT_EQ(FindInstructionByCode(0).Name, "Unknown");
  EXPECT_EQ(FindInstructionByCode(0xFFFF).Name, "Unknown");
}

TEST(InstructionCatalogue, CopiesDoNotChangeTheCatalogue) {
  TInstructions e = FindInstructionByName("MOV");
  e.Operands[0].Types.clear();
  e.Name = "XX";
  EXPECT_EQ(FindInstructionByName("MOV").Operands[0].Types.size(), 11u);
}

TEST(InstructionCatalogue, InstructionForElementKind) {
  const std::pair<int, const char*> cases[] = {{2, "LD"},  {3, "LDI"}, {4, "OUT"}, {5, "LDF"},
                                               {6, "LDP"}, {7, "LD&"}, {8, "LD&"}, {10, "LD&"},
                                               {20, "INV"}, {0, "Unknown"}, {11, "Unknown"}, {21, "Unknown"},
                                               {-1, "Unknown"}, {255, "Unknown"}};
  for (const auto& [kind, name] : cases) EXPECT_EQ(InstructionForElementKind(kind).Name, name) << kind;
}

TEST(InstructionCatalogue, CellSpanByLinkClass) {
  const std::pair<const char*, int> cases[] = {
      {"LD", 1},  {"ORF", 1},  {"OUT", 0}, {"MOV", 3},  {"TMR", 3},  {"ZCP", 5},   {"INV", 1},    {"ANB", 0},
      {"MPP", 0}, {"NOP", 0},  {"P", 1},   {"I", 1},    {"END", 1},  {"SPIN", 1},  {"LD=", 3},    {"DOR>=", 3},
      {"INC", 2}, {"Unknown", 0}};
  for (const auto& [name, span] : cases) EXPECT_EQ(CellSpan(FindInstructionByName(name)), span) << name;
}

TEST(InstructionCatalogue, LineHelpers) {
  EXPECT_EQ(LineMnemonic("MOV\tK5 D0"), "MOV");
  EXPECT_EQ(LineMnemonic("END"), "END");
  EXPECT_EQ(LineMnemonic(" LD X0"), "");
  EXPECT_TRUE(IsOutputLine("OUT\tY0"));
  EXPECT_TRUE(IsOutputLine("MOV K1 D0"));
  EXPECT_TRUE(IsOutputLine("END"));
  EXPECT_FALSE(IsOutputLine("LD X0"));
  EXPECT_FALSE(IsOutputLine("LD= K1 D0"));
  EXPECT_FALSE(IsOutputLine("MPS"));
  EXPECT_FALSE(IsOutputLine("P 1"));
  EXPECT_FALSE(IsOutputLine("out Y0"));
  for (const char* m : {"SRET", "IRET", "FOR", "NEXT", "EI", "DI", "END", "FEND", "NOP"}) {
    EXPECT_FALSE(HasEntryCondition(m)) << m;
  }
  for (const char* m : {"OUT", "MOV", "CALL", "SPIN", "end", ""}) EXPECT_TRUE(HasEntryCondition(m)) << m;
}
