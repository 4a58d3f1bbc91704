// The header store and its name tables, shared by the library's own sources.
// Callers outside the library reach the store only through header.hpp.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace traceio::detail {

// Numeric header words in file order, host byte order.
struct NumericHeader {
    std::array<float, 70> fhdr{};
    std::array<std::int32_t, 15> nhdr{};
    std::array<std::int32_t, 20> ihdr{};
    std::array<std::int32_t, 5> lhdr{};
    bool initialised = false; // set by inihdr
};

// The 24 character slots of 8 characters, in file order.
struct TextHeader {
    std::array<std::array<char, 8>, 24> khdr{};
};

extern NumericHeader cmhdr;
extern TextHeader kmhdr;

inline constexpr int numeric_words = 110;
inline constexpr int text_words = 48;
inline constexpr int header_words = 158;
inline constexpr int header_bytes = 4 * header_words;

// Word positions of the fields the library itself reads or sets.
namespace f {
inline constexpr int delta = 0, depmin = 1, depmax = 2, b = 5, e = 6, stla = 31, stlo = 32,
                     evla = 35, evlo = 36, dist = 50, az = 51, baz = 52, gcarc = 53, depmen = 56;
}
namespace n {
inline constexpr int nzyear = 0, nvhdr = 6, npts = 9;
}
namespace i {
inline constexpr int iftype = 0, body = 12;
}
namespace l {
inline constexpr int leven = 0, lpspol = 1, lovrok = 2, lcalda = 3, lhdr5 = 4;
}

// Field and enumeration names, upper case, in file (code) order.
struct NameTables {
    std::array<std::string_view, 70> fhdr;
    std::array<std::string_view, 15> nhdr;
    std::array<std::string_view, 20> ihdr;
    std::array<std::string_view, 5> lhdr;
    std::array<std::string_view, 24> khdr;
    std::array<std::string_view, 103> enums;
};

inline constexpr NameTables kmlhf{
    {"DELTA",  "DEPMIN", "DEPMAX", "SCALE",    "ODELTA",   "B",        "E",        "O",
     "A",      "FMT",    "T0",     "T1",       "T2",       "T3",       "T4",       "T5",
     "T6",     "T7",     "T8",     "T9",       "F",        "RESP0",    "RESP1",    "RESP2",
     "RESP3",  "RESP4",  "RESP5",  "RESP6",    "RESP7",    "RESP8",    "RESP9",    "STLA",
     "STLO",   "STEL",   "STDP",   "EVLA",     "EVLO",     "EVEL",     "EVDP",     "MAG",
     "USER0",  "USER1",  "USER2",  "USER3",    "USER4",    "USER5",    "USER6",    "USER7",
     "USER8",  "USER9",  "DIST",   "AZ",       "BAZ",      "GCARC",    "SB",       "SDELTA",
     "DEPMEN", "CMPAZ",  "CMPINC", "XMINIMUM", "XMAXIMUM", "YMINIMUM", "YMAXIMUM", "ADJTM",
     "FHDR65", "FHDR66", "FHDR67", "FHDR68",   "FHDR69",   "FHDR70"},
    {"NZYEAR", "NZJDAY", "NZHOUR", "NZMIN", "NZSEC", "NZMSEC", "NVHDR", "NORID", "NEVID", "NPTS",
     "NSNPTS", "NSN", "NXSIZE", "NYSIZE", "NHDR15"},
    {"IFTYPE", "IDEP",   "IZTYPE", "IHDR4",   "IINST",   "ISTREG", "IEVREG",
     "IEVTYP", "IQUAL",  "ISYNTH", "IMAGTYP", "IMAGSRC", "BODY",   "IHDR14",
     "IHDR15", "IHDR16", "IHDR17", "IHDR18",  "IHDR19",  "IHDR20"},
    {"LEVEN", "LPSPOL", "LOVROK", "LCALDA", "LHDR5"},
    {"KSTNM", "KEVNM",  "KEVNMC", "KHOLE",  "KO",     "KA",     "KT0",    "KT1",
     "KT2",   "KT3",    "KT4",    "KT5",    "KT6",    "KT7",    "KT8",    "KT9",
     "KF",    "KUSER0", "KUSER1", "KUSER2", "KCMPNM", "KNETWK", "KDATRD", "KINST"},
    {"ITIME",  "IRLIM",  "IAMPH",    "IXY",    "IUNKN",  "IDISP",  "IVEL",   "IACC",     "IB",
     "IDAY",   "IO",     "IA",       "IT0",    "IT1",    "IT2",    "IT3",    "IT4",      "IT5",
     "IT6",    "IT7",    "IT8",      "IT9",    "IRADNV", "ITANNV", "IRADEV", "ITANEV",   "INORTH",
     "IEAST",  "IHORZA", "IDOWN",    "IUP",    "ILLLBB", "IWWSN1", "IWWSN2", "IHGLP",    "ISRO",
     "INUCL",  "IPREN",  "IPOSTN",   "IQUAKE", "IPREQ",  "IPOSTQ", "ICHEM",  "IOTHER",   "IGOOD",
     "IGLCH",  "IDROP",  "ILOWSN",   "IRLDTA", "IVOLTS", "IXYZ",   "IMB",    "IMS",      "IML",
     "IMW",    "IMD",    "IMX",      "INEIC",  "IPDEQ",  "IPDEW",  "IPDE",   "IISC",     "IREB",
     "IUSGS",  "IBRK",   "ICALTECH", "ILLNL",  "IEVLOC", "IJSOP",  "IUSER",  "IUNKNOWN", "IQB",
     "IQB1",   "IQB2",   "IQBX",     "IQMT",   "IEQ",    "IEQ1",   "IEQ2",   "IME",      "IEX",
     "INU",    "INC",    "IO_",      "IL",     "IR",     "IT",     "IU",     "IEQ3",     "IEQ0",
     "IEX0",   "IQC",    "IQB0",     "IGEY",   "ILIT",   "IMET",   "IODOR",  "ISUN",     "IMERCURY",
     "IVENUS", "IEARTH", "IMOON",    "IMARS"},
};

// Code of an enumeration name, fixed when the library is built.
constexpr int code_of(std::string_view name) {
    for (std::size_t k = 0; k < kmlhf.enums.size(); ++k)
        if (kmlhf.enums[k] == name) return static_cast<int>(k) + 1;
    return 0;
}

inline constexpr int ITIME = code_of("ITIME");
inline constexpr int ISUN = code_of("ISUN");
inline constexpr int IMERCURY = code_of("IMERCURY");
inline constexpr int IVENUS = code_of("IVENUS");
inline constexpr int IEARTH = code_of("IEARTH");
inline constexpr int IMOON = code_of("IMOON");
inline constexpr int IMARS = code_of("IMARS");
static_assert(ITIME == 1 && ISUN == 98 && IEARTH == 101 && IMARS == 103);

// Initialises the store's constants if this has not happened yet.
void ensure_initialised();

} // namespace traceio::detail
