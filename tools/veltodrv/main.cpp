// veltodrv: a simulated cash register and its driver, run by the program (through the command
// interpreter, in the shop's working directory) exactly as the real driver is, and by tests and
// administrators to make sales at the register and look into it.
//
//   veltodrv dp=velto if=data_in.txt [af=T] cp=P [ct=20000] [cs=S]
//       Reads the request file dp\if (records ended by CR LF), checks the request record and every record
//       after it as the register does, applies all of it or nothing, and leaves dp\error.txt: "0;" when
//       done, else "CODE;LINE;". LINE counts the records from 0, the request record being line 0, so the
//       program (which adds 1) shows the record at fault. Exit status 0 done, 1 refused, 2 bad command line
//       (then the error file reads "10;0;"). With af=T an old dp\data_out.txt is erased first.
//   veltodrv sell [dp=velto] cp=P CODE QUANTITY [VALUE]
//       Records a sale of a PLU at the register: QUANTITY in units (up to 3 decimals, negative for a
//       return), VALUE in currency units (up to 2 decimals), by default quantity x price rounded to
//       hundredths.
//   veltodrv show [dp=velto] cp=P
//       Prints the departments, the PLUs and the sales not yet reported, one per line:
//       "department 01 A Dzial 1" (or "department 02 not programmed"),
//       "plu CODE PRICE TAX DEPARTMENT FLAGS NAME", "sale CODE QUANTITY VALUE NAME".
//
// Requests:
//   "S;I;1; ; ;"  followed by PLU records, short ("I;1;CODE;NAME;PRICE;TAX;3;FLAGS;DEPT;00;;", name up
//                 to 18 characters) or long ("I#00;1;CODE;0;NAME;PRICE;TAX;3;FLAGS;DEPT;00;;00;0;", name
//                 up to 40), each adding or replacing the PLU of that code; and by lines of the PLU list,
//                 each deleting the PLU of its code. Nothing may follow otherwise.
//   "S;I;0; ; ;"  (af=T) the PLU list into dp\data_out.txt, in code order, one CR LF line per PLU:
//                 "P;1;CODE;NAME;PRICE;TAX;DEPARTMENT;FLAGS;" (the code from the fifth character up to
//                 the next ";", the name without trailing blanks, the price in hundredths).
//   "S;U;2; ; ;"  (af=T) the sales report into dp\data_out.txt, one CR LF line per sale in the order made:
//                 "S;CODE;NAME;VALUE;QUANTITY;TAX;DEPARTMENT;" (value in hundredths, quantity in
//                 thousandths); the sales are then forgotten, so each is reported once.
//   "S;D;1;F;L;"  followed by the records of departments F to L in order ("H;1;NN;NAME;0;TAX;1000;00;").
//
// What the register refuses (error codes in records.h): an unknown request; a record of the wrong kind
// or shape (field count, fixed fields, a line not ended by CR LF, a control byte); a PLU code that is not
// 1 to 13 digits or is all zeros; a blank or over-long name; a price that is not a whole number of
// hundredths from 0 to 99999999 written without leading zeros; a tax letter other than A to F and Z; a
// department other than 01 to 07 or one not yet programmed (a new register has no departments: they are
// programmed first); the deletion of a PLU that the register does not hold; a list or report request
// without af=T. The first bad record gives the error, and nothing of the request is applied.
//
// The register's memory is a state file per port in the exchange directory (format in state.h); the
// faults a test can ask for are in faults.h. All texts are code page 852 bytes; "show" prints UTF-8.
#include <iostream>
#include <string>
#include <vector>

#include "driver.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::cerr << "usage: veltodrv dp=velto if=data_in.txt [af=T] cp=P [ct=20000] [cs=S]\n"
                     "       veltodrv sell [dp=velto] cp=P CODE QUANTITY [VALUE]\n"
                     "       veltodrv show [dp=velto] cp=P\n";
        return 2;
    }
    std::string command = args[0];
    if (command == "sell" || command == "show") {
        args.erase(args.begin());
        return command == "sell" ? veltodrv::sellCommand(args) : veltodrv::showCommand(args);
    }
    return veltodrv::runDriver(args);
}
