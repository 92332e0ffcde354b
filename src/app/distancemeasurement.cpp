#include "app/distancemeasurement.h"

#include "app/form1.h"
#include "browse/servertablemodel.h"
#include "browse/tpingthread.h"
#include "net/echopermission.h"
#include "net/icmp.h"

#include <QCoreApplication>

#include <system_error>

std::string EchoesRefusedExplanation(const std::string& programPath)
{
    return "Distances cannot be measured: this system does not let Quimbrel send pings "
           "(ICMP echo requests), so the \"Distance\" column stays empty. The server list "
           "itself is complete.\n\n"
           "To allow pings, an administrator can do one of these:\n\n"
           "- let users send pings, then press \"Get List\" again:\n"
           "    sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"\n\n"
           "- or give Quimbrel the right to send them, then start Quimbrel again:\n"
           "    sudo setcap cap_net_raw+p " + programPath;
}

void MeasureDistancesWithEchoes(TForm1& form, EchoSocketKind socketKind)
{
    form.SetDistanceMeterFactory(
        [socketKind](ServerTableModel& table, int row, const std::string& ip) -> std::unique_ptr<DistanceMeter> {
            try {
                return std::make_unique<TPingThread>(table.OpenDistanceMailbox(row), ip, socketKind);
            } catch (const TICMPException& error) {
                if (EchoSocketsRefused())
                    throw DistanceUnavailable(EchoesRefusedExplanation(
                        QCoreApplication::applicationFilePath().toStdString()));
                // Out of descriptors or memory: the row goes unmeasured, as above.
                throw DistanceUnavailable(std::string("Distances cannot be measured for every server: ")
                                          + error.what() + ".");
            } catch (const std::system_error&) {
                throw DistanceUnavailable(
                    "Distances cannot be measured for every server: the system gives no more threads.");
            }
        });
}
