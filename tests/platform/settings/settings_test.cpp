#include "platform/settings/settings.h"

#include <gtest/gtest.h>

#include "platform/context.h"
#include "platform/core/error.h"

using core::RuntimeError;
using core::Value;

TEST(Settings, PrivateSettingsHideForTheFlowAndWhatItCalls) {
    settings::Settings s;
    s.declarePublic("PORT", Value::ofNumber(2));
    s.declarePublic("OPIS", Value::ofText("public"));

    s.pushScope();  // the menu
    s.declarePrivate("port", Value::ofNumber(1));
    s.declarePrivate("NR_KASY", Value::ofText("01"));
    EXPECT_EQ(s.number("PORT"), 1);

    s.pushScope();  // a flow the menu calls sees the menu's settings and may assign them
    EXPECT_EQ(s.number("Port"), 1);
    s.set("PORT", Value::ofNumber(4));
    s.set("OPIS", Value::ofText("assigned"));
    s.declarePrivate("PORT", Value::ofText("inner"));
    EXPECT_EQ(s.text("PORT"), "inner");
    EXPECT_EQ(s.depth(), 2);
    s.popScope();

    EXPECT_EQ(s.number("PORT"), 4);
    EXPECT_EQ(s.text("NR_KASY"), "01");
    s.popScope();

    EXPECT_EQ(s.number("PORT"), 2);  // the public one was never touched
    EXPECT_EQ(s.text("OPIS"), "assigned");
    EXPECT_FALSE(s.exists("NR_KASY"));
    EXPECT_EQ(s.depth(), 0);
}

TEST(Settings, ProceduresOpenAndCloseScopes) {
    settings::Settings s;
    Context ctx;
    ctx.settings = &s;
    {
        Procedure menu(ctx, "MENU");
        s.declarePrivate("PS_MAG", Value::ofText(" "));
        {
            Procedure flow(ctx, "ZROB_SD_ZETO");
            EXPECT_EQ(s.text("PS_MAG"), " ");
            EXPECT_EQ(ctx.chain, (std::vector<std::string>{"MENU", "ZROB_SD_ZETO"}));
        }
        EXPECT_TRUE(s.exists("PS_MAG"));
    }
    EXPECT_FALSE(s.exists("PS_MAG"));
    EXPECT_TRUE(ctx.chain.empty());
}

TEST(Settings, CreationAssignmentAndTypes) {
    settings::Settings s;
    s.declarePublic("M_RESZTA");
    EXPECT_TRUE(s.get("M_RESZTA").isLogical());
    EXPECT_FALSE(s.logical("M_RESZTA"));

    s.set("m_data", Value::ofDate(core::Date::fromYmd(2024, 3, 15)));  // no such setting: made public
    s.pushScope();
    s.set("M_NRD", Value::ofText("       7"));
    s.popScope();
    EXPECT_EQ(s.date("M_DATA"), core::Date::fromYmd(2024, 3, 15));
    EXPECT_EQ(s.text("M_NRD"), "       7");

    s.set("M_NRD", Value::ofNumber(7));  // assignment changes the type as well
    EXPECT_EQ(s.number("M_NRD"), 7);

    // A private setting made before any scope is opened belongs to the outermost flow.
    s.declarePrivate("P1", Value::ofNumber(1));
    s.popScope();
    EXPECT_EQ(s.depth(), 0);
    EXPECT_EQ(s.number("P1"), 1);
}

TEST(Settings, UnknownOrMistypedSettingsAreFatal) {
    settings::Settings s;
    s.declarePublic("J_VAT", Value::ofText("23"));
    try {
        s.get("j_ptua");
        FAIL() << "no error";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.kind(), RuntimeError::Kind::Setting);
        EXPECT_NE(std::string(e.what()).find("J_PTUA"), std::string::npos) << e.what();
    }
    EXPECT_THROW(s.text("J_PTUB"), RuntimeError);
    try {
        s.number("J_VAT");
        FAIL() << "no error";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.kind(), RuntimeError::Kind::Setting);
        EXPECT_NE(std::string(e.what()).find("J_VAT"), std::string::npos) << e.what();
    }
    EXPECT_THROW(s.date("J_VAT"), RuntimeError);
    EXPECT_THROW(s.logical("J_VAT"), RuntimeError);
    EXPECT_FALSE(s.exists("J_PTUA"));
}

TEST(Settings, PublicsWithPrefixAreSortedAndLeavePrivatesOut) {
    settings::Settings s;
    s.declarePublic("J_VAT", Value::ofText("23"));
    s.declarePublic("J_ZAOKRAGL");
    s.declarePublic("JEST_KOD13", Value::ofLogical(true));
    s.declarePublic("j_pp", Value::ofNumber(1));
    s.declarePublic("M_SD", Value::ofText("SD "));
    s.pushScope();
    s.declarePrivate("J_VAT", Value::ofText("private"));
    s.declarePrivate("J_ONLY_PRIV", Value::ofText("x"));

    auto found = s.publicsWithPrefix("j_");
    std::vector<std::string> names;
    for (const auto& [name, value] : found) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"J_PP", "J_VAT", "J_ZAOKRAGL"}));
    EXPECT_EQ(found[1].second.text, "23");
}
