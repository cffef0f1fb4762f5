// The program when the map edition chosen at the start cannot be created: here only the North
// American edition is installed.

#include "ui_ConfigurationForm.h"
#include "MainWindowFixture.h"

#include <ScriptedOleMap.h>

#include <IconData.h>
#include <KarteUnit.h>
#include <OleClassRegistry.h>
#include <OleError.h>
#include <OrvaneApplication.h>
#include <OrvaneUnit.h>
#include "ui_OrvaneForm.h"

namespace {

TEST(WithoutMap, BatchRunRefusesToStartAndSaysWhyThenTheOtherEditionIsCreated)
{
    std::shared_ptr<ScriptedOleMap> northAmerica;
    OleClassRegistry::instance().registerClass("MapPoint.Map.NA.9", [&northAmerica] {
        northAmerica = std::make_shared<ScriptedOleMap>();
        return std::shared_ptr<OleObject>(northAmerica);
    });
    clearStore();
    TIconDataModule icons;
    TestDatabase db{CustomersSql};
    const QString before = db.scalar("select group_concat(KolmNummer || MPStatus || W2MP || MPControlGeocode) from kunden");
    {
        ModalScript script;
        script.expect(QStringLiteral("TConfigurationForm"), mapKunden);
        TOrvaneForm european(icons, [&db](QWidget *) { return db.path(); });
        script.finish();
        bool handled = false;
        EXPECT_THROW(european.ActionListUpdate(nullptr, handled), OleError);
        EXPECT_FALSE(KartenModul().Map());

        // No confirmation first: it would come up as a stray here.
        ModalScript none;
        try {
            european.BatchGeocodeActionExecute();
            ADD_FAILURE() << "the run started without a map";
        } catch (const std::runtime_error &error) {
            const QString message = QString::fromUtf8(error.what());
            EXPECT_TRUE(message.contains(QStringLiteral("map could not be created"))) << error.what();
            EXPECT_TRUE(message.contains(QStringLiteral("Invalid class string"))) << error.what();
        }
        none.finish();
        EXPECT_EQ(db.scalar("select group_concat(KolmNummer || MPStatus || W2MP || MPControlGeocode) from kunden"), before);
    }

    ModalScript script;
    script.expect(QStringLiteral("TConfigurationForm"), [](QWidget *modal) {
        static_cast<TConfigurationForm *>(modal)->ui->USRadioButton->setChecked(true);
        mapKunden(modal);
    });
    TOrvaneForm us(icons, [&db](QWidget *) { return db.path(); });
    script.finish();
    bool handled = false;
    us.ActionListUpdate(nullptr, handled);
    EXPECT_TRUE(northAmerica && KartenModul().MapReady());
}

} // namespace
