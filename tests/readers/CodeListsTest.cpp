#include "readers/CodeLists.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "readers/Resources.h"
#include "text/Text.h"
#include "support/TempDir.h"

namespace toponyx::readers {
namespace {

using text::ProperCase;

// The world GNS codes in file order.
constexpr std::string_view kWorldCodes =
    "ADM1 ADM2 ADM3 ADM4 ADMD ADMF AGRC AGRF AIRB AIRF AIRH AIRP AIRQ AIRS AMTH ANCH ANS APNU "
    "ARCH ARCU AREA ARRU ASPH ASTR ASYL ATHF ATOL BAR BAY BAYS BCH BCHS BCN BDG BDGQ BDLD BDLU "
    "BGHT BKSU BLDG BLDR BLHL BLOW BNCH BNCU BNK BNKR BNKU BNKX BOG BP BRKS BRKW BSND BSNP BSNU "
    "BSTN BTL BTYD BUR BUSH BUTE CAPE CAPG CARN CAVE CDAU CFT CH CHN CHNL CHNM CHNN CLDA CLF CLG "
    "CMN CMP CMPL CMPLA CMPMN CMPO CMPQ CMPRF CMTY CNFL CNL CNLA CNLB CNLD CNLI CNLN CNLQ CNLSB "
    "CNLX CNS CNSU CNYN CNYU COLF COMC CONE COVE CRDR CRKT CRNT CRQ CRQS CRRL CRSU CRTR CSNO CST "
    "CSTL CSTM CSWY CSWYQ CTHSE CTRA CTRB CTRCM CTRF CTRM CTRR CTRS CUET CULT CUTF CVNT DAM DAMQ "
    "DAMSB DARY DCK DCKB DCKD DCKY DEPU DEVH DIKE DLTA DOMG DPOF DPR DPRG DSRT DTCH DTCHD DTCHI "
    "DTCHM DUNE DVD EDGU ERG ESCU EST ESTB ESTC ESTO ESTR ESTSG ESTSL ESTT ESTX ESTY FAN FANU FCL "
    "FISH FJD FJDS FLD FLDI FLLS FLLSX FLTM FLTT FLTU FNDY FORD FRKU FRM FRMQ FRMS FRMT FRST "
    "FRSTF FRSU FRZU FSR FT FURU FY GAP GAPU GASF GATE GDN GHSE GLCR GLYU GOSP GRAZ GRGE GRSLD "
    "GRVC GRVE GRVO GRVP GRVPN GULF GVL GYSR HBR HBRX HDLD HERM HLL HLLS HLLU HLSU HLT HMCK HMDA "
    "HOLU HSE HSEC HSP HSPC HSPD HSPL HSTS HTH HTL HUT HUTS INDS INLT INLTQ INSM INTF ISL ISLF "
    "ISLM ISLS ISLT ISLX ISTH ITTR JTY KNLU KNSU KRST LAND LAVA LBED LCTY LDGU LDNG LEPC LEV LEVU "
    "LGN LGNS LGNX LK LKC LKI LKN LKNI LKO LKOI LKS LKSB LKSC LKSI LKSN LKSNI LKX LOCK LTER LTHSE "
    "MAR MDVU MDW MESA MESU MFG MFGB MFGC MFGCU MFGLM MFGM MFGN MFGPH MFGQ MFGSG MGV MILB MKT ML "
    "MLM MLO MLSG MLSGQ MLSW MLWND MLWTR MN MNA MNAU MNC MNCR MNCU MND MNDT MNDU MNFE MNMT MNN "
    "MNNI MNPB MNPL MNQ MNQR MNSN MOLE MOOR MOTU MRN MRSH MRSHN MSQE MSSN MSSNQ MSTY MT MTS MTSU "
    "MTU MUS MVA NKM NOV NRWS NSY NTK NTKS NVB OAS OBPT OBS OBSR OCH OCN OILF OILJ OILP OILQ OILR "
    "OILT OILW OVF PAL PAN PANS PASS PCL PCLD PCLF PCLI PCLIX PCLS PEAT PEN PENX PGDA PIER PK "
    "PKLT PKS PKSU PKU PLAT PLATX PLDR PLFU PLN PLNU PLNX PLTU PMPO PMPW PND PNDI PNDN PNDNI PNDS "
    "PNDSF PNDSI PNDSN PNLU PO POOL POOLI PP PPL PPLA PPLC PPLL PPLQ PPLR PPLS PPLW PPLX PPQ PRK "
    "PRKGT PRKHQ PRMN PRN PRNJ PRNQ PROM PRSH PRT PRVU PS PSH PSTB PSTC PSTP PT PTGE PTS PYR PYRS "
    "QCKS QUAY RAVU RCH RD RDA RDB RDCUT RDGB RDGE RDGG RDGU RDJCT RDST RDSU RECG RECR REG REP "
    "RES RESA RESF RESH RESN RESP RESV RESW RF RFC RFSU RFU RFX RGN RGNE RGNL RHSE RISU RJCT RK "
    "RKFL RKRY RKS RLG RLGR RMPU RNCH RNGA RNGU RPDS RR RRQ RSD RSGNL RSRT RSTN RSTNQ RSTP RSTPQ "
    "RSV RSVI RSVT RTE RUIN RVN RYD SALT SAND SBED SBKH SCH SCHA SCHC SCHM SCHN SCNU SCRB SCRP "
    "SCSU SD SDL SDLU SEA SHFU SHLU SHOL SHOR SHPF SHRN SHSE SHSU SHVU SILL SILU SINK SLCE SLID "
    "SLP SLPU SMSU SMU SNOW SNTR SPA SPIT SPLY SPNG SPNS SPNT SPRU SPUR SQR ST STBL STDM STKR "
    "STLMT STM STMA STMB STMC STMD STMH STMI STMIX STMM STMQ STMS STMSB STMX STNB STNC STNE STNF "
    "STNI STNM STNR STNS STNW STPS STRT SWMP SYSI TAL TERR TERU TMB TMPL TMSU TMTU TNGU TNKD TNL "
    "TNLC TNLN TNLRD TNLRR TNLS TOWR TRB TREE TRGD TRGU TRIG TRL TRMO TRNU TRR TUND UNKN UPLD "
    "USGE VAL VALG VALS VALU VALX VETF VIN VINS VLC VLSU WAD WADB WADJ WADM WADS WADX WALL WALLA "
    "WEIR WHRF WHRL WLL WLLQ WLLS WRCK WTLD WTLDI WTRC WTRH WTRW ZN ZNB ZNF ZNL ZOO ZZZZZ";

// The GeoNames codes in table order.
constexpr std::string_view kGeoNamesCodes =
    "ADM1 ADM2 ADM3 ADM4 ADMD LTER PCL PCLD PCLF PCLI PCLIX PCLS PRSH TERR ZN ZNB AIRS ANCH BAY "
    "BAYS BGHT BNK BNKR BNKX BOG CAPG CHN CHNL CHNM CHNN CNFL CNL CNLA CNLB CNLD CNLI CNLN CNLQ "
    "CNLSB CNLX COVE CRKT CRNT CUTF DCK DCKB DOMG DPRG DTCH DTCHD DTCHI DTCHM ESTY FISH FJD FJDS "
    "FLLS FLLSX FLTM FLTT GLCR GULF GYSR HBR HBRX INLT INLTQ LBED LGN LGNS LGNX LK LKC LKI LKN "
    "LKNI LKO LKOI LKS LKSB LKSC LKSI LKSN LKSNI LKX MFGN MGV MOOR MRSH MRSHN NRWS OCN OVF PND "
    "PNDI PNDN PNDNI PNDS PNDSF PNDSI PNDSN POOL POOLI RCH RDGG RDST RF RFC RFX RPDS RSV RSVI "
    "RSVT RVN SBKH SD SEA SHOL SILL SPNG SPNS SPNT STM STMA STMB STMC STMD STMH STMI STMIX STMM "
    "STMQ STMS STMSB STMX STRT SWMP SYSI TNLC WAD WADB WADJ WADM WADS WADX WHRL WLL WLLQ WLLS "
    "WTLD WTLDI WTRC WTRH AGRC AMUS AREA BSND BSNP BTL CLG CMN CNS COLF CONT CST CTRB DEVH FLD "
    "FLDI GASF GRAZ GVL INDS LAND LCTY MILB MNA MVA NVB OAS OILF PEAT PRK PRT QCKS REP RES RESA "
    "RESF RESH RESN RESP RESV RESW RGN RGNE RGNL RNGA SALT SNOW TRB ZZZZZ PPL PPLA PPLA2 PPLA3 "
    "PPLA4 PPLC PPLF PPLG PPLL PPLQ PPLR PPLS PPLW PPLX STLMT CSWY CSWYQ OILP PRMN PTGE RD RDA "
    "RDB RDCUT RDJCT RJCT RR RRQ RTE RYD ST STKR TNL TNLN TNLRD TNLRR TNLS TRL ADMF AGRF AIRB "
    "AIRF AIRH AIRP AIRQ AMTH ANS ARCH ASTR ASYL ATHF ATM BANK BCN BDG BDGQ BLDG BP BRKS BRKW "
    "BSTN BTYD BUR BUSTN BUSTP CARN CAVE CCL CH CMP CMPL CMPLA CMPMN CMPO CMPQ CMPRF CMTY COMC "
    "CRRL CSNO CSTL CSTM CTHSE CTRA CTRCM CTRF CTRM CTRR CTRS CVNT DAM DAMQ DAMSB DARY DCKD DCKY "
    "DIKE DPOF EST ESTB ESTC ESTO ESTR ESTSG ESTSL ESTT ESTX FCL FNDY FRM FRMQ FRMS FRMT FT FY "
    "GATE GDN GHSE GOSP GRVE HERM HLT HSE HSEC HSP HSPC HSPD HSPL HSTS HTL HUT HUTS INSM ITTR JTY "
    "LDNG LEPC LIBR LNDF LOCK LTHSE MALL MAR MFG MFGB MFGC MFGCU MFGLM MFGM MFGPH MFGQ MFGSG MKT "
    "ML MLM MLO MLSG MLSGQ MLSW MLWND MLWTR MN MNAU MNC MNCR MNCU MNDT MNFE MNMT MNN MNNI MNPB "
    "MNPL MNQ MNQR MNSN MOLE MSQE MSSN MSSNQ MSTY MTRO MUS NOV NSY OBPT OBS OBSR OILJ OILQ OILR "
    "OILT OILW OPRA PAL PGDA PIER PKLT PMPO PMPW PO PP PPQ PRKGT PRKHQ PRN PRNJ PRNQ PS PSH PSTB "
    "PSTC PSTP PYR PYRS QUAY RECG RECR REST RHSE RKRY RLG RLGR RNCH RSD RSGNL RSRT RSTN RSTNQ "
    "RSTP RSTPQ RUIN SCH SCHA SCHC SCHD SCHL SCHM SCHN SCHT SECP SHPF SHRN SHSE SLCE SNTR SPA "
    "SPLY SQR STBL STDM STNB STNC STNE STNF STNI STNM STNR STNS STNW STPS SWT THTR TMB TMPL TNKD "
    "TOWR TRANT TRIG TRMO TWO UNIO UNIP UNIV USGE VETF WALL WALLA WEIR WHRF WRCK WTRW ZNF ZOO "
    "ASPH ATOL BAR BCH BCHS BDLD BLDR BLHL BLOW BNCH BUTE CAPE CFT CLDA CLF CNYN CONE CRDR CRQ "
    "CRQS CRTR CUET DLTA DPR DSRT DUNE DVD ERG FAN FORD FSR GAP GRGE HDLD HLL HLLS HMCK HMDA INTF "
    "ISL ISLF ISLM ISLS ISLT ISLX ISTH KRST LAVA LEV MESA MND MRN MT MTS NKM NTK NTKS PAN PANS "
    "PASS PEN PENX PK PKS PLAT PLATX PLDR PLN PLNX PROM PT PTS RDGB RDGE REG RK RKFL RKS SAND "
    "SBED SCRP SDL SHOR SINK SLID SLP SPIT SPUR TAL TRGD TRR UPLD VAL VALG VALS VALX VLC APNU "
    "ARCU ARRU BDLU BKSU BNCU BNKU BSNU CDAU CNSU CNYU CRSU DEPU EDGU ESCU FANU FLTU FRKU FRSU "
    "FRZU FURU GAPU GLYU HLLU HLSU HOLU KNLU KNSU LDGU LEVU MDVU MESU MNDU MOTU MTSU MTU PKSU PKU "
    "PLFU PLNU PLTU PNLU PRVU RAVU RDGU RDSU RFSU RFU RISU RMPU RNGU SCNU SCSU SDLU SHFU SHLU "
    "SHSU SHVU SILU SLPU SMSU SMU SPRU TERU TMSU TMTU TNGU TRGU TRNU VALU VLSU BUSH CULT FRST "
    "FRSTF GRSLD GRVC GRVO GRVP GRVPN HTH MDW OCH SCRB TREE TUND VIN VINS ll";

std::vector<std::string_view> Words(std::string_view s) {
  std::vector<std::string_view> words;
  size_t pos = 0;
  while (pos < s.size()) {
    size_t end = s.find(' ', pos);
    if (end == std::string_view::npos) end = s.size();
    if (end > pos) words.push_back(s.substr(pos, end - pos));
    pos = end + 1;
  }
  return words;
}

// Splits a text whose every line ends in `eol`; a text that does not end in
// it, or a CR or LF inside a line, fails the test.
std::vector<std::string_view> Lines(std::string_view text, std::string_view eol) {
  std::vector<std::string_view> lines;
  EXPECT_TRUE(text.ends_with(eol));
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find(eol, pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string_view::npos) << line;
    lines.push_back(line);
    pos = end + eol.size();
  }
  return lines;
}

std::string ReadRealFile(const std::string& relative) {
  std::string dir = testing::RealDataDir();
  if (dir.empty()) return {};
  std::ifstream in(dir + testing::kSep + relative, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Records of an RFC 4180 text (quoted fields, "" inside quotes).
std::vector<std::vector<std::string>> ParseCsv(std::string_view text) {
  std::vector<std::vector<std::string>> records(1);
  std::string field;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quoted) {
      if (c != '"') {
        field += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      records.back().push_back(std::move(field));
      field.clear();
    } else if (c == '\n') {
      records.back().push_back(std::move(field));
      field.clear();
      records.emplace_back();
    } else if (c != '\r') {
      field += c;
    }
  }
  if (!field.empty() || !records.back().empty()) records.back().push_back(std::move(field));
  if (records.back().empty()) records.pop_back();
  return records;
}

std::string LowerCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = text::ToLowerAscii(c);
  return out;
}

struct WorldLine {
  std::string_view code;
  std::string_view description;
};

std::vector<WorldLine> WorldLines() {
  std::vector<WorldLine> rows;
  for (std::string_view line : Lines(resources::EmbeddedFile("WorldCodes.list"), "\r\n")) {
    size_t comma = line.find(',');
    rows.push_back({text::TrimBlanks(line.substr(0, comma)),
                    comma == std::string_view::npos ? std::string_view() : line.substr(comma + 1)});
  }
  return rows;
}

TEST(WorldCodesListTest, CodesPaddedInFileOrderAndSorted) {
  std::string_view file = resources::EmbeddedFile("WorldCodes.list");
  std::vector<std::string_view> lines = Lines(file, "\r\n");
  std::vector<std::string_view> expected = Words(kWorldCodes);
  ASSERT_EQ(expected.size(), 644u);
  ASSERT_EQ(lines.size(), 644u);
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string padded(expected[i]);
    padded.resize(6, ' ');
    EXPECT_EQ(lines[i].substr(0, 7), padded + ",") << "line " << i + 1;
    if (i > 0) {
      // Strictly ascending ignoring case: sorted for the halving search and
      // free of duplicates.
      EXPECT_LT(text::CompareIgnoreCase(text::TrimBlanks(lines[i - 1].substr(0, 6)),
                                        text::TrimBlanks(lines[i].substr(0, 6))),
                0)
          << lines[i - 1] << " / " << lines[i];
    }
  }
}

TEST(WorldCodesListTest, DescriptionsAreShortProperCasedAndCommaFree) {
  for (const WorldLine& row : WorldLines()) {
    EXPECT_FALSE(row.description.empty()) << row.code;
    EXPECT_LE(row.description.size(), 40u) << row.code;
    EXPECT_EQ(row.description.find(','), std::string_view::npos) << row.code;
    EXPECT_EQ(text::TrimBlanks(row.description), row.description) << row.code;
    EXPECT_EQ(ProperCase(row.description), row.description) << row.code;
    for (char c : row.description) {
      EXPECT_TRUE(c >= ' ' && c <= '~') << row.code << ": " << row.description;
    }
  }
}

TEST(WorldCodesListTest, CarriedRowsStandAsWritten) {
  std::string_view file = resources::EmbeddedFile("WorldCodes.list");
  for (std::string_view row :
       {"ADM1  ,First-Order Administrative Division", "ADM2  ,Second-Order Administrative Division",
        "ADM3  ,Third-Order Administrative Division", "ADM4  ,Fourth-Order Administrative Division",
        "PPL   ,Populated Place", "PPLA  ,Captial Of A First-Order Administrative.",
        "PPLC  ,Captial Of A Country (pcld", "STM   ,Stream", "MT    ,Mountain", "LK    ,Lake",
        "RSV   ,Reservoir(s)", "CNLSB ,Underground Irrigation Canal(s)",
        "ZZZZZ ,Master Source Holdings List"}) {
    std::string line = std::string(row) + "\r\n";
    EXPECT_TRUE(file.starts_with(line) || file.find("\n" + line) != std::string_view::npos) << row;
  }
}

// The descriptions not carried as fixed rows are the published GNS names in
// the form ProperCase gives.
TEST(WorldCodesListTest, DescriptionsFollowThePublishedGnsTable) {
  std::string csv = ReadRealFile("gns/codes/USNGA_Feature_Designation_Codes.csv");
  if (csv.empty()) GTEST_SKIP() << "no real data";
  std::vector<std::vector<std::string>> records = ParseCsv(csv);
  ASSERT_GT(records.size(), 1u);
  ASSERT_EQ(records[0][0], "Feature Designation Code");
  ASSERT_EQ(records[0][1], "Feature Designation Name");
  std::map<std::string, std::string, std::less<>> names;
  for (size_t i = 1; i < records.size(); ++i) {
    ASSERT_EQ(records[i].size(), records[0].size()) << "record " << i;
    names.emplace(records[i][0], records[i][1]);
  }
  const std::set<std::string_view> fixed = {"ADM1", "ADM2", "ADM3", "ADM4", "PPL",   "PPLA", "PPLC",
                                            "STM",  "MT",   "LK",   "RSV",  "CNLSB", "ZZZZZ"};
  size_t compared = 0;
  for (const WorldLine& row : WorldLines()) {
    auto it = names.find(row.code);
    if (it == names.end() || fixed.count(row.code)) continue;
    EXPECT_EQ(row.description, ProperCase(it->second).substr(0, 40)) << row.code;
    ++compared;
  }
  // 636 published codes, 43 of them outside the list, 12 carried as fixed.
  EXPECT_EQ(compared, 581u);
}

TEST(GeoNamesTableTest, RowsInTableOrder) {
  std::string_view file = resources::EmbeddedFile("GeoNamesCodes.txt");
  std::vector<std::string_view> expected = Words(kGeoNamesCodes);
  ASSERT_EQ(expected.size(), 672u);
  std::vector<std::string_view> lines = Lines(file, "\n");
  ASSERT_EQ(lines.size(), 672u);
  const std::vector<CodeRow>& rows = GeoNamesCodeTable().rows();
  ASSERT_EQ(rows.size(), 672u);
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].code, expected[i]) << "row " << i + 1;
    // One comma per line: the description holds none.
    EXPECT_EQ(lines[i], rows[i].code + "," + rows[i].description);
    EXPECT_EQ(rows[i].description.find(','), std::string::npos) << rows[i].code;
    EXPECT_FALSE(text::IsEmptyText(rows[i].description)) << rows[i].code;
  }
}

TEST(GeoNamesTableTest, LowerCaseButForTheCapitalisedRows) {
  const std::map<std::string, std::string> capitalised = {{"BUSTN", "Bus Station"},
                                                          {"BUSTP", "Bus Stop"},
                                                          {"CCL", "Centre Continuous Learning"},
                                                          {"SCHD", "Driving School"},
                                                          {"SCHL", "Language School"},
                                                          {"SECP", "State Exam Prep Centre"},
                                                          {"TWO", "Temp Work Office"},
                                                          {"UNIP", "University Prep School"}};
  const std::vector<CodeRow>& rows = GeoNamesCodeTable().rows();
  for (const CodeRow& row : rows) {
    auto it = capitalised.find(row.code);
    if (it != capitalised.end()) {
      EXPECT_EQ(row.description, it->second);
    } else {
      EXPECT_EQ(row.description, LowerCase(row.description)) << row.code;
    }
  }
  const std::map<std::string, std::string> telling = {
      {"ADM1", "first-order administrative division"},
      {"PPL", "populated place"},
      {"PPLA", "seat of a first-order administrative division"},
      {"PPLC", "capital of a political entity"},
      {"STM", "stream"},
      {"RSV", "reservoir(s)"}};
  for (const auto& [code, description] : telling) {
    const std::string* found = GeoNamesDescription(code);
    ASSERT_NE(found, nullptr) << code;
    EXPECT_EQ(*found, description);
  }
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.back().code, "ll");
  EXPECT_EQ(rows.back().description, "not available");
}

TEST(GeoNamesTableTest, DescriptionsFollowThePublishedList) {
  std::string list = ReadRealFile("geonames/featureCodes_en.txt");
  if (list.empty()) GTEST_SKIP() << "no real data";
  const std::set<std::string_view> capitalised = {"BUSTN", "BUSTP", "CCL", "SCHD",
                                                  "SCHL",  "SECP",  "TWO", "UNIP"};
  size_t compared = 0;
  for (std::string_view line : Lines(list, "\n")) {
    // class.code TAB name TAB description; the closing "null" line has no
    // class.
    size_t dot = line.find('.');
    size_t tab = line.find('\t');
    ASSERT_NE(tab, std::string_view::npos) << line;
    if (dot > tab) continue;
    std::string_view code = line.substr(dot + 1, tab - dot - 1);
    std::string_view name = text::GetField(line, 2, "", '\t');
    const std::string* found = GeoNamesDescription(code);
    if (found == nullptr || capitalised.count(code)) continue;
    EXPECT_EQ(*found, LowerCase(name)) << code;
    ++compared;
  }
  // 672 rows: 24 codes are missing from the 2012 list and six of the
  // capitalised rows are in it.
  EXPECT_EQ(compared, 642u);
}

TEST(GeoNamesLookupTest, ExactCaseWholeCodeAgreesWithAScan) {
  EXPECT_EQ(GeoNamesDescription("ppl"), nullptr);
  EXPECT_EQ(GeoNamesDescription("Ppl"), nullptr);
  EXPECT_EQ(GeoNamesDescription("PPL "), nullptr);
  EXPECT_EQ(GeoNamesDescription(""), nullptr);
  EXPECT_EQ(GeoNamesDescription("LL"), nullptr);
  EXPECT_EQ(GeoNamesDescription("null"), nullptr);
  ASSERT_NE(GeoNamesDescription("ll"), nullptr);
  EXPECT_EQ(*GeoNamesDescription("ll"), "not available");

  // Every row code, and its other-case spellings, answer as the scan from
  // the first row does.
  const std::vector<CodeRow>& rows = GeoNamesCodeTable().rows();
  auto scan = [&rows](std::string_view code) -> const std::string* {
    for (const CodeRow& row : rows) {
      if (row.code == code) return &row.description;
    }
    return nullptr;
  };
  for (const CodeRow& row : rows) {
    EXPECT_EQ(GeoNamesDescription(row.code), &row.description) << row.code;
    std::string lower = LowerCase(row.code);
    std::string upper = text::UpperCaseAscii(row.code);
    EXPECT_EQ(GeoNamesDescription(lower), scan(lower)) << lower;
    EXPECT_EQ(GeoNamesDescription(upper), scan(upper)) << upper;
  }
}

TEST(CodeTableTest, ParsesLinesAndTheFirstRowOfACodeWins) {
  CodeTable table(ParseCodeRows("A,first\nB,bee\r\nA,second\n\nno comma\nC,\na,small\nD,x,y"));
  ASSERT_EQ(table.rows().size(), 6u);
  ASSERT_NE(table.Find("A"), nullptr);
  EXPECT_EQ(*table.Find("A"), "first");
  EXPECT_EQ(*table.Find("B"), "bee");  // the CR of CR LF is not kept
  EXPECT_EQ(*table.Find("a"), "small");
  EXPECT_EQ(*table.Find("C"), "");     // a row with an empty description
  EXPECT_EQ(*table.Find("D"), "x,y");  // the code ends at the first comma
  EXPECT_EQ(table.Find("no comma"), nullptr);
  EXPECT_EQ(table.Find("E"), nullptr);
  EXPECT_TRUE(ParseCodeRows("").empty());
  EXPECT_TRUE(ParseCodeRows("\n\r\n").empty());
}

TEST(UsaCodesListTest, ExactBytes) {
  std::string expected;
  for (std::string_view name : Words(
           "Airport Arch Area Arroyo Bar Basin Bay Beach Bench Bend Bridge Building Canal Cape "
           "Cemetery Channel Church Civil Cliff Crater Crossing Dam Falls Flat Forest Gap Geyser "
           "Glacier Gut Harbor Hospital Island Isthmus Lake Lava Levee Local Locale Military Mine "
           "Oilfield Other Park Pillar Plain Po Ppl Range Rapids Reserve Reservoi Ridge School Sea "
           "Slope Spring Stream Summit Swamp Tower Trail Tunnel Valley Well Woods")) {
    expected += std::string(name) + "\r\n";
  }
  EXPECT_EQ(expected.size(), 476u);
  EXPECT_EQ(resources::EmbeddedFile("USACodes.list"), expected);
}

}  // namespace
}  // namespace toponyx::readers
