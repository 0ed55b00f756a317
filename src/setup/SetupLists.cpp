#include "SetupLists.h"

const QStringList BaudItems = {"  9,600bps", "  4,800bps", "  2,400bps", "  1,200bps",
                               "    600bps", "    300bps", " 38,400bps", " 19,200bps"};
const QStringList CommunicationItems = {" N-8-1", " N-7-1", " E-8-1", " E-7-1", " O-8-1", " O-7-1"};
const QStringList EmulationItems = {" T3150-LC", " ESC/POS"};
const QStringList CodePageItems = {" PC437(USA,Std-EUR)",
                                   " Katakana for Japan",
                                   " PC850(Multilingual)",
                                   " PC860(Portuguese)",
                                   " PC863(Canadian-Fr)",
                                   " PC865(Nordic)",
                                   " Slavonic",
                                   " Russia",
                                   " PC858(Euro)",
                                   " Windows code"};
const QStringList INChrItems = {" U.S.A",
                                " France",
                                " Germany",
                                " U.K",
                                " Denmark I",
                                " Sweden",
                                " Italy",
                                " Spain",
                                " Japan",
                                " Norway",
                                " Denmark II",
                                " Slavonic",
                                " Russia",
                                " Factory define I",
                                " Factory define II",
                                " User define"};
