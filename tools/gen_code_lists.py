#!/usr/bin/env python3
"""Writes the two built-in code lists from the published code lists.

  resources/WorldCodes.list   644 GNS feature designation codes, one line each:
                              the code padded with blanks to six characters, a
                              comma, the description, CR LF. Sorted by code.
  resources/GeoNamesCodes.txt 672 rows "code,description" (LF) in the fixed
                              order the GeoNames reader searches them.

Sources (read only, never copied into the project):

  GNS:      USNGA_Feature_Designation_Codes.csv (RFC 4180; the "Feature
            Designation Name" column), passed through ProperCase and cut to 40
            characters.
  GeoNames: featureCodes_en.txt ("class.code<TAB>name<TAB>description"; the
            name column), written in lower case.

Codes that a source lacks take the descriptions written out below, and a few
rows keep fixed texts of their own (odd spellings included) that the programs
have always carried.

A description never holds a comma, because a comma ends the code field: a
comma followed by a blank is dropped, any other comma becomes a blank. None of
the current source texts has one.

Run:  python3 tools/gen_code_lists.py [--realdata DIR] [--out DIR] [--check]
      DIR defaults to ../shared/realdata beside the repository and to
      resources/. With --check nothing is written; the script fails when the
      committed files differ from what it would write.
"""
import argparse
import csv
import os
import sys

# ---------------------------------------------------------------------------
# ProperCase, exactly as src/readers/Text.cpp does it (the C++ tests check the
# written descriptions against the C++ function).


def _is_low_control(c):
    return ord(c) <= 32


def _is_word_separator(c):
    return _is_low_control(c) or c in '",-./\\'


def _upper(c):
    return chr(ord(c) - 32) if "a" <= c <= "z" else c


def _lower(c):
    return chr(ord(c) + 32) if "A" <= c <= "Z" else c


def proper_case(t):
    b, e = 0, len(t)
    while b < e and _is_low_control(t[b]):
        b += 1
    while e > b and _is_low_control(t[e - 1]):
        e -= 1
    if b == e:
        return ""
    out = list(t[b:e])
    n = len(out)
    if n == 1:
        return _upper(out[0])
    out = [_lower(c) for c in out]
    out[0] = _upper(out[0])
    for p in range(1, n):  # 1-based p is out[p - 1]
        upper = False
        if _is_word_separator(out[p - 1]):
            upper = True
        elif (p == 1 or _is_word_separator(out[p - 2])) and p + 2 <= n:
            after = out[p + 1]
            upper = after in "-." or (p == 1 and after == " ")
        if upper:
            out[p] = _upper(out[p])
    return "".join(out)


def without_commas(s):
    return s.replace(", ", " ").replace(",", " ")


# ---------------------------------------------------------------------------
# World GNS codes, in file order (sorted by code, letter case ignored).

WORLD_CODES = """
ADM1 ADM2 ADM3 ADM4 ADMD ADMF AGRC AGRF AIRB AIRF AIRH AIRP AIRQ AIRS AMTH ANCH
ANS APNU ARCH ARCU AREA ARRU ASPH ASTR ASYL ATHF ATOL BAR BAY BAYS BCH BCHS BCN
BDG BDGQ BDLD BDLU BGHT BKSU BLDG BLDR BLHL BLOW BNCH BNCU BNK BNKR BNKU BNKX BOG
BP BRKS BRKW BSND BSNP BSNU BSTN BTL BTYD BUR BUSH BUTE CAPE CAPG CARN CAVE CDAU
CFT CH CHN CHNL CHNM CHNN CLDA CLF CLG CMN CMP CMPL CMPLA CMPMN CMPO CMPQ CMPRF
CMTY CNFL CNL CNLA CNLB CNLD CNLI CNLN CNLQ CNLSB CNLX CNS CNSU CNYN CNYU COLF
COMC CONE COVE CRDR CRKT CRNT CRQ CRQS CRRL CRSU CRTR CSNO CST CSTL CSTM CSWY
CSWYQ CTHSE CTRA CTRB CTRCM CTRF CTRM CTRR CTRS CUET CULT CUTF CVNT DAM DAMQ
DAMSB DARY DCK DCKB DCKD DCKY DEPU DEVH DIKE DLTA DOMG DPOF DPR DPRG DSRT DTCH
DTCHD DTCHI DTCHM DUNE DVD EDGU ERG ESCU EST ESTB ESTC ESTO ESTR ESTSG ESTSL ESTT
ESTX ESTY FAN FANU FCL FISH FJD FJDS FLD FLDI FLLS FLLSX FLTM FLTT FLTU FNDY FORD
FRKU FRM FRMQ FRMS FRMT FRST FRSTF FRSU FRZU FSR FT FURU FY GAP GAPU GASF GATE GDN
GHSE GLCR GLYU GOSP GRAZ GRGE GRSLD GRVC GRVE GRVO GRVP GRVPN GULF GVL GYSR HBR
HBRX HDLD HERM HLL HLLS HLLU HLSU HLT HMCK HMDA HOLU HSE HSEC HSP HSPC HSPD HSPL
HSTS HTH HTL HUT HUTS INDS INLT INLTQ INSM INTF ISL ISLF ISLM ISLS ISLT ISLX ISTH
ITTR JTY KNLU KNSU KRST LAND LAVA LBED LCTY LDGU LDNG LEPC LEV LEVU LGN LGNS LGNX
LK LKC LKI LKN LKNI LKO LKOI LKS LKSB LKSC LKSI LKSN LKSNI LKX LOCK LTER LTHSE MAR
MDVU MDW MESA MESU MFG MFGB MFGC MFGCU MFGLM MFGM MFGN MFGPH MFGQ MFGSG MGV MILB
MKT ML MLM MLO MLSG MLSGQ MLSW MLWND MLWTR MN MNA MNAU MNC MNCR MNCU MND MNDT MNDU
MNFE MNMT MNN MNNI MNPB MNPL MNQ MNQR MNSN MOLE MOOR MOTU MRN MRSH MRSHN MSQE MSSN
MSSNQ MSTY MT MTS MTSU MTU MUS MVA NKM NOV NRWS NSY NTK NTKS NVB OAS OBPT OBS OBSR
OCH OCN OILF OILJ OILP OILQ OILR OILT OILW OVF PAL PAN PANS PASS PCL PCLD PCLF
PCLI PCLIX PCLS PEAT PEN PENX PGDA PIER PK PKLT PKS PKSU PKU PLAT PLATX PLDR PLFU
PLN PLNU PLNX PLTU PMPO PMPW PND PNDI PNDN PNDNI PNDS PNDSF PNDSI PNDSN PNLU PO
POOL POOLI PP PPL PPLA PPLC PPLL PPLQ PPLR PPLS PPLW PPLX PPQ PRK PRKGT PRKHQ PRMN
PRN PRNJ PRNQ PROM PRSH PRT PRVU PS PSH PSTB PSTC PSTP PT PTGE PTS PYR PYRS QCKS
QUAY RAVU RCH RD RDA RDB RDCUT RDGB RDGE RDGG RDGU RDJCT RDST RDSU RECG RECR REG
REP RES RESA RESF RESH RESN RESP RESV RESW RF RFC RFSU RFU RFX RGN RGNE RGNL RHSE
RISU RJCT RK RKFL RKRY RKS RLG RLGR RMPU RNCH RNGA RNGU RPDS RR RRQ RSD RSGNL RSRT
RSTN RSTNQ RSTP RSTPQ RSV RSVI RSVT RTE RUIN RVN RYD SALT SAND SBED SBKH SCH SCHA
SCHC SCHM SCHN SCNU SCRB SCRP SCSU SD SDL SDLU SEA SHFU SHLU SHOL SHOR SHPF SHRN
SHSE SHSU SHVU SILL SILU SINK SLCE SLID SLP SLPU SMSU SMU SNOW SNTR SPA SPIT SPLY
SPNG SPNS SPNT SPRU SPUR SQR ST STBL STDM STKR STLMT STM STMA STMB STMC STMD STMH
STMI STMIX STMM STMQ STMS STMSB STMX STNB STNC STNE STNF STNI STNM STNR STNS STNW
STPS STRT SWMP SYSI TAL TERR TERU TMB TMPL TMSU TMTU TNGU TNKD TNL TNLC TNLN TNLRD
TNLRR TNLS TOWR TRB TREE TRGD TRGU TRIG TRL TRMO TRNU TRR TUND UNKN UPLD USGE VAL
VALG VALS VALU VALX VETF VIN VINS VLC VLSU WAD WADB WADJ WADM WADS WADX WALL WALLA
WEIR WHRF WHRL WLL WLLQ WLLS WRCK WTLD WTLDI WTRC WTRH WTRW ZN ZNB ZNF ZNL ZOO
ZZZZZ
""".split()

# Rows the world list has always carried with these exact texts.
WORLD_FIXED = {
    "ADM1": "First-Order Administrative Division",
    "ADM2": "Second-Order Administrative Division",
    "ADM3": "Third-Order Administrative Division",
    "ADM4": "Fourth-Order Administrative Division",
    "PPL": "Populated Place",
    "PPLA": "Captial Of A First-Order Administrative.",
    "PPLC": "Captial Of A Country (pcld",
    "STM": "Stream",
    "MT": "Mountain",
    "LK": "Lake",
    "RSV": "Reservoir(s)",
    "CNLSB": "Underground Irrigation Canal(s)",
    "ZZZZZ": "Master Source Holdings List",
}

# English descriptions of the GNS codes that the published table lacks
# (older designations, most of them plurals or variants of listed codes).
WORLD_EXTRA = {
    "BAYS": "bays",
    "BCHS": "beaches",
    "BUSH": "bush(es)",
    "CMN": "common",
    "CNLD": "drainage canal",
    "CNLI": "irrigation canal",
    "CNLN": "navigation canal(s)",
    "CRQS": "cirques",
    "CSWYQ": "former causeway",
    "CTRF": "facility center",
    "DCKB": "docking basin",
    "FJDS": "fjords",
    "FRMS": "farms",
    "FRMT": "farmstead",
    "GRVC": "coconut grove",
    "GRVO": "olive grove",
    "GRVP": "palm grove",
    "GRVPN": "pine grove",
    "HSPD": "dispensary",
    "HUTS": "huts",
    "INLTQ": "former inlet",
    "LGNS": "lagoons",
    "LKSC": "crater lakes",
    "LKSI": "intermittent lakes",
    "LKSN": "salt lakes",
    "LKSNI": "intermittent salt lakes",
    "MILB": "military base",
    "PCLF": "freely associated state",
    "PCLS": "semi-independent political entity",
    "PNDS": "ponds",
    "PNDSI": "intermittent ponds",
    "PNDSN": "salt ponds",
    "PPLS": "populated places",
    "PRKGT": "park gate",
    "PSTC": "customs post",
    "PTS": "points",
    "PYRS": "pyramids",
    "REP": "republic",
    "SHPF": "sheepfold",
    "SILL": "sill",
    "STMS": "streams",
    "STNE": "experiment station",
    "TNLN": "natural tunnel",
    "TNLS": "tunnels",
    "UNKN": "unknown",
    "WADS": "wadies",
    "WLLS": "wells",
    "WTRC": "watercourse",
    "ZN": "zone",
    "ZNL": "leased zone",
}

# ---------------------------------------------------------------------------
# GeoNames codes in the order the reader searches them.

GEONAMES_CODES = """
ADM1 ADM2 ADM3 ADM4 ADMD LTER PCL PCLD PCLF PCLI PCLIX PCLS PRSH TERR ZN ZNB AIRS
ANCH BAY BAYS BGHT BNK BNKR BNKX BOG CAPG CHN CHNL CHNM CHNN CNFL CNL CNLA CNLB
CNLD CNLI CNLN CNLQ CNLSB CNLX COVE CRKT CRNT CUTF DCK DCKB DOMG DPRG DTCH DTCHD
DTCHI DTCHM ESTY FISH FJD FJDS FLLS FLLSX FLTM FLTT GLCR GULF GYSR HBR HBRX INLT
INLTQ LBED LGN LGNS LGNX LK LKC LKI LKN LKNI LKO LKOI LKS LKSB LKSC LKSI LKSN
LKSNI LKX MFGN MGV MOOR MRSH MRSHN NRWS OCN OVF PND PNDI PNDN PNDNI PNDS PNDSF
PNDSI PNDSN POOL POOLI RCH RDGG RDST RF RFC RFX RPDS RSV RSVI RSVT RVN SBKH SD SEA
SHOL SILL SPNG SPNS SPNT STM STMA STMB STMC STMD STMH STMI STMIX STMM STMQ STMS
STMSB STMX STRT SWMP SYSI TNLC WAD WADB WADJ WADM WADS WADX WHRL WLL WLLQ WLLS WTLD
WTLDI WTRC WTRH AGRC AMUS AREA BSND BSNP BTL CLG CMN CNS COLF CONT CST CTRB DEVH
FLD FLDI GASF GRAZ GVL INDS LAND LCTY MILB MNA MVA NVB OAS OILF PEAT PRK PRT QCKS
REP RES RESA RESF RESH RESN RESP RESV RESW RGN RGNE RGNL RNGA SALT SNOW TRB ZZZZZ
PPL PPLA PPLA2 PPLA3 PPLA4 PPLC PPLF PPLG PPLL PPLQ PPLR PPLS PPLW PPLX STLMT CSWY
CSWYQ OILP PRMN PTGE RD RDA RDB RDCUT RDJCT RJCT RR RRQ RTE RYD ST STKR TNL TNLN
TNLRD TNLRR TNLS TRL ADMF AGRF AIRB AIRF AIRH AIRP AIRQ AMTH ANS ARCH ASTR ASYL
ATHF ATM BANK BCN BDG BDGQ BLDG BP BRKS BRKW BSTN BTYD BUR BUSTN BUSTP CARN CAVE
CCL CH CMP CMPL CMPLA CMPMN CMPO CMPQ CMPRF CMTY COMC CRRL CSNO CSTL CSTM CTHSE
CTRA CTRCM CTRF CTRM CTRR CTRS CVNT DAM DAMQ DAMSB DARY DCKD DCKY DIKE DPOF EST
ESTB ESTC ESTO ESTR ESTSG ESTSL ESTT ESTX FCL FNDY FRM FRMQ FRMS FRMT FT FY GATE
GDN GHSE GOSP GRVE HERM HLT HSE HSEC HSP HSPC HSPD HSPL HSTS HTL HUT HUTS INSM ITTR
JTY LDNG LEPC LIBR LNDF LOCK LTHSE MALL MAR MFG MFGB MFGC MFGCU MFGLM MFGM MFGPH
MFGQ MFGSG MKT ML MLM MLO MLSG MLSGQ MLSW MLWND MLWTR MN MNAU MNC MNCR MNCU MNDT
MNFE MNMT MNN MNNI MNPB MNPL MNQ MNQR MNSN MOLE MSQE MSSN MSSNQ MSTY MTRO MUS NOV
NSY OBPT OBS OBSR OILJ OILQ OILR OILT OILW OPRA PAL PGDA PIER PKLT PMPO PMPW PO PP
PPQ PRKGT PRKHQ PRN PRNJ PRNQ PS PSH PSTB PSTC PSTP PYR PYRS QUAY RECG RECR REST
RHSE RKRY RLG RLGR RNCH RSD RSGNL RSRT RSTN RSTNQ RSTP RSTPQ RUIN SCH SCHA SCHC
SCHD SCHL SCHM SCHN SCHT SECP SHPF SHRN SHSE SLCE SNTR SPA SPLY SQR STBL STDM STNB
STNC STNE STNF STNI STNM STNR STNS STNW STPS SWT THTR TMB TMPL TNKD TOWR TRANT TRIG
TRMO TWO UNIO UNIP UNIV USGE VETF WALL WALLA WEIR WHRF WRCK WTRW ZNF ZOO ASPH ATOL
BAR BCH BCHS BDLD BLDR BLHL BLOW BNCH BUTE CAPE CFT CLDA CLF CNYN CONE CRDR CRQ
CRQS CRTR CUET DLTA DPR DSRT DUNE DVD ERG FAN FORD FSR GAP GRGE HDLD HLL HLLS HMCK
HMDA INTF ISL ISLF ISLM ISLS ISLT ISLX ISTH KRST LAVA LEV MESA MND MRN MT MTS NKM
NTK NTKS PAN PANS PASS PEN PENX PK PKS PLAT PLATX PLDR PLN PLNX PROM PT PTS RDGB
RDGE REG RK RKFL RKS SAND SBED SCRP SDL SHOR SINK SLID SLP SPIT SPUR TAL TRGD TRR
UPLD VAL VALG VALS VALX VLC APNU ARCU ARRU BDLU BKSU BNCU BNKU BSNU CDAU CNSU CNYU
CRSU DEPU EDGU ESCU FANU FLTU FRKU FRSU FRZU FURU GAPU GLYU HLLU HLSU HOLU KNLU
KNSU LDGU LEVU MDVU MESU MNDU MOTU MTSU MTU PKSU PKU PLFU PLNU PLTU PNLU PRVU RAVU
RDGU RDSU RFSU RFU RISU RMPU RNGU SCNU SCSU SDLU SHFU SHLU SHSU SHVU SILU SLPU
SMSU SMU SPRU TERU TMSU TMTU TNGU TRGU TRNU VALU VLSU BUSH CULT FRST FRSTF GRSLD
GRVC GRVO GRVP GRVPN HTH MDW OCH SCRB TREE TUND VIN VINS ll
""".split()

# Rows the GeoNames table carries with these exact texts, capitals included.
GEONAMES_FIXED = {
    "BUSTN": "Bus Station",
    "BUSTP": "Bus Stop",
    "CCL": "Centre Continuous Learning",
    "SCHD": "Driving School",
    "SCHL": "Language School",
    "SECP": "State Exam Prep Centre",
    "TWO": "Temp Work Office",
    "UNIP": "University Prep School",
    "ll": "not available",
}

# GeoNames descriptions of codes that the 2012 published list lacks (codes
# listed before or after it, and the undersea codes it names differently).
GEONAMES_EXTRA = {
    "REP": "republic",
    "ZZZZZ": "master source holdings list",
    "CSWYQ": "former causeway",
    "ESTB": "banana plantation",
    "ESTC": "cotton plantation",
    "ESTSL": "sisal plantation",
    "MNDT": "diatomite mine(s)",
    "MNNI": "nickel mine(s)",
    "MNPB": "lead mine(s)",
    "MNPL": "placer mine(s)",
    "MNSN": "tin mine(s)",
    "UNIO": "postgrad & mba",
    "BNCU": "bench",
    "FRKU": "fork",
    "FRSU": "forks",
    "MDVU": "median valley",
    "MTSU": "mountains",
    "PLFU": "platform",
    "RAVU": "ravine",
    "RMPU": "ramp",
    "RNGU": "range",
}

MAX_DESCRIPTION = 40


def fail(message):
    sys.exit("gen_code_lists: " + message)


def read_gns_names(path):
    names = {}
    with open(path, encoding="utf-8", newline="") as f:
        for row in csv.DictReader(f):
            code = row["Feature Designation Code"].strip()
            names.setdefault(code, row["Feature Designation Name"].strip())
    return names


def read_geonames_names(path):
    names = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\r\n").split("\t")
            if len(fields) < 2 or "." not in fields[0]:
                continue
            code = fields[0].split(".", 1)[1]
            names.setdefault(code, fields[1].strip())
    return names


def world_lines(gns_names):
    if len(WORLD_CODES) != 644 or len(set(c.upper() for c in WORLD_CODES)) != 644:
        fail("the world code list must hold 644 distinct codes")
    keys = [c.upper() for c in WORLD_CODES]
    if keys != sorted(keys):
        fail("the world codes are not sorted by code")
    lines = []
    for code in WORLD_CODES:
        if code in WORLD_FIXED:
            desc = WORLD_FIXED[code]
        else:
            name = gns_names.get(code, WORLD_EXTRA.get(code))
            if name is None:
                fail(f"no description for GNS code {code}")
            desc = proper_case(without_commas(name))[:MAX_DESCRIPTION].rstrip(" ")
        if not desc or "," in desc or len(desc) > MAX_DESCRIPTION:
            fail(f"unusable description for GNS code {code}: {desc!r}")
        if proper_case(desc) != desc:
            fail(f"description of {code} is not in proper case: {desc!r}")
        if len(code) > 6:
            fail(f"code {code} is longer than six characters")
        lines.append(f"{code:<6},{desc}\r\n")
    return "".join(lines)


def geonames_lines(geonames_names):
    if len(GEONAMES_CODES) != 672 or len(set(GEONAMES_CODES)) != 672:
        fail("the GeoNames table must hold 672 distinct codes")
    lines = []
    for code in GEONAMES_CODES:
        if code in GEONAMES_FIXED:
            desc = GEONAMES_FIXED[code]
        else:
            name = geonames_names.get(code, GEONAMES_EXTRA.get(code))
            if name is None:
                fail(f"no description for GeoNames code {code}")
            desc = without_commas(name).lower()
        if not desc or "," in desc:
            fail(f"unusable description for GeoNames code {code}: {desc!r}")
        lines.append(f"{code},{desc}\n")
    return "".join(lines)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    repo = os.path.dirname(here)
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--realdata", default=os.path.join(repo, "..", "shared", "realdata"))
    parser.add_argument("--out", default=os.path.join(repo, "resources"))
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()

    gns = read_gns_names(
        os.path.join(args.realdata, "gns", "codes", "USNGA_Feature_Designation_Codes.csv"))
    geo = read_geonames_names(os.path.join(args.realdata, "geonames", "featureCodes_en.txt"))
    outputs = {
        "WorldCodes.list": world_lines(gns),
        "GeoNamesCodes.txt": geonames_lines(geo),
    }
    stale = []
    for name, text in outputs.items():
        path = os.path.join(args.out, name)
        data = text.encode("cp1252")
        if args.check:
            try:
                with open(path, "rb") as f:
                    if f.read() != data:
                        stale.append(name)
            except OSError:
                stale.append(name)
        else:
            with open(path, "wb") as f:
                f.write(data)
    if stale:
        fail("out of date: " + ", ".join(stale))


if __name__ == "__main__":
    main()
