// "sell" and "show": what happens at the register itself, for tests and administrators.
#include <iostream>

#include "command_line.h"
#include "driver.h"
#include "platform/core/cp852.h"
#include "platform/core/error.h"
#include "platform/os/files.h"
#include "platform/os/path.h"
#include "records.h"
#include "state.h"

namespace veltodrv {

namespace {

bool parseAdmin(const std::vector<std::string>& args, size_t minWords, size_t maxWords, Options& o) {
    std::string problem;
    if (!parseAdminLine(args, o, problem)) {
        std::cerr << "veltodrv: " << problem << "\n";
        return false;
    }
    if (o.positional.size() < minWords || o.positional.size() > maxWords) {
        std::cerr << "veltodrv: wrong number of arguments\n";
        return false;
    }
    if (!os::directoryExists(o.exchangeDir)) {
        std::cerr << "veltodrv: no exchange directory " << o.exchangeDir << "\n";
        return false;
    }
    return true;
}

// value = quantity x price, rounded half away from zero to hundredths.
int64_t saleValue(int64_t quantity, int64_t price) {
    int64_t thousandths = quantity * price;
    int64_t magnitude = (thousandths < 0 ? -thousandths : thousandths) + 500;
    return thousandths < 0 ? -(magnitude / 1000) : magnitude / 1000;
}

}  // namespace

int sellCommand(const std::vector<std::string>& args) {
    Options o;
    if (!parseAdmin(args, 2, 3, o)) return 2;
    const std::string& code = o.positional[0];
    Sale sale;
    constexpr int64_t kMaxQuantity = 999999999;  // thousandths: 999999.999 units
    if (!parseScaled(o.positional[1], 3, sale.quantity) || sale.quantity > kMaxQuantity ||
        sale.quantity < -kMaxQuantity) {
        std::cerr << "veltodrv: bad quantity " << o.positional[1] << " (units, up to 3 decimals)\n";
        return 2;
    }
    if (o.positional.size() == 3 && !parseScaled(o.positional[2], 2, sale.value)) {
        std::cerr << "veltodrv: bad value " << o.positional[2] << " (currency units, up to 2 decimals)\n";
        return 2;
    }
    try {
        ExchangeLock lock(os::resolve(o.exchangeDir));
        std::string path = stateFile(o.exchangeDir, o.port);
        RegisterState state = loadState(path);
        auto plu = state.plus.find(code);
        if (plu == state.plus.end()) {
            std::cerr << "veltodrv: no PLU " << code << " in the register on port " << o.port << "\n";
            return 1;
        }
        sale.code = plu->second.code;
        sale.name = plu->second.name;
        sale.tax = plu->second.tax;
        sale.department = plu->second.department;
        if (o.positional.size() == 2) sale.value = saleValue(sale.quantity, plu->second.price);
        state.sales.push_back(sale);
        saveState(path, state);
        return 0;
    } catch (const core::RuntimeError& e) {
        std::cerr << "veltodrv: " << e.what() << "\n";
        return 1;
    }
}

int showCommand(const std::vector<std::string>& args) {
    Options o;
    if (!parseAdmin(args, 0, 0, o)) return 2;
    try {
        ExchangeLock lock(os::resolve(o.exchangeDir));
        RegisterState state = loadState(stateFile(o.exchangeDir, o.port));
        auto text = [](const std::string& s) { return core::cp852ToUtf8(s); };
        std::cout << "register on port " << o.port << "\n";
        for (int n = 1; n <= 7; ++n) {
            const auto& d = state.departments[static_cast<size_t>(n - 1)];
            std::cout << "department " << departmentText(n);
            if (d)
                std::cout << " " << d->tax << " " << text(d->name) << "\n";
            else
                std::cout << " not programmed\n";
        }
        for (const auto& [code, p] : state.plus)
            std::cout << "plu " << p.code << " " << formatScaled(p.price, 2) << " " << p.tax << " "
                      << departmentText(p.department) << " " << p.flags << " " << text(p.name) << "\n";
        for (const Sale& s : state.sales)
            std::cout << "sale " << s.code << " " << formatScaled(s.quantity, 3) << " "
                      << formatScaled(s.value, 2) << " " << text(s.name) << "\n";
        return 0;
    } catch (const core::RuntimeError& e) {
        std::cerr << "veltodrv: " << e.what() << "\n";
        return 1;
    }
}

}  // namespace veltodrv
