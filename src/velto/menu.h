#pragma once
// The main menu: the only loop of the program.
struct Context;

void VELTO_(Context& ctx);
