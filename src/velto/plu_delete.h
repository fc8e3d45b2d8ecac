#pragma once
// Deleting PLUs in the register (main menu item 6, deletePlus in velto/flows.h): the register's PLU list
// is asked for, the operator chooses which PLUs go, the chosen lines of the list go back to the register
// as a deletion request, and the PLU registry is discarded so that the next sending sends every article.
struct Context;

enum class PluDeletion {
    All = 1,           // every PLU in the register
    WithoutStock = 2,  // PLUs whose goods have a quantity of 0 or less, or no goods record
    WithoutGoods = 3,  // PLUs that have no goods record
};

// Writes the deletion request for the mode from the PLU list "velto\data_out.txt". False, with nothing
// written, when the list cannot be read: then there is nothing to delete by.
bool KAS_PLU(Context& ctx, PluDeletion mode);
