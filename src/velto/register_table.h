#pragma once
// The register table "velto\velto.DBF": one row per cash register with its port, line speed and default
// warehouse. The main menu holds it exclusively in slot 99 while it runs.
#include <string_view>

struct Context;

inline constexpr int kRegisterSlot = 99;
inline constexpr int kRegisterRows = 17;
inline constexpr std::string_view kRegisterStructure =
    "velto\\velto,PKASA      ,C, 2,  0,POPIS      ,C,26,  0,PPREDKOSC  ,N, 5,  0,PPORT      ,N, 2,  0,"
    "PSKOK      ,C, 1,  0,PMASTER    ,C, 2,  0,PSLAVE     ,C, 2,  0,POD        ,C,13,  0,"
    "PDO        ,C,13,  0,PMAG       ,C, 1,  0,PIL_PROB   ,N, 1,  0,PPOL_ZN    ,N, 1,  0,"
    "PTYP_KASY  ,C, 1,  0";

// Makes sure the register table exists in the current layout with at least 17 rows and opens it
// exclusively in the current slot. False (after "Problem z plikiem velto\velto.DBF") when it stays held
// elsewhere.
bool openRegisterTable(Context& ctx);

// Copies the current row of the register table into the selection (NR_KASY, OPIS, PORT, PREDKOSC,
// PS_MAG).
void PS_READ(Context& ctx);
