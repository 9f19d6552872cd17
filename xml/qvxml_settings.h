/*
 * Parsed device documents: values.xml into qvxml_values, setup.xml into
 * qvxml_setup, each with the entry counts of its lists.
 *
 * Every field is a NUL-terminated text of a fixed size, holding what the
 * device wrote (at most size - 2 characters; longer texts are dropped). A
 * field is named by its element path without the leading "Root_": the member
 * SenSet_Entry_Min holds the element path "Root_SenSet_Entry_Min". Fields
 * inside an Entry are arrays with one slot per entry; the counts tell how many
 * slots hold entries of the last document.
 *
 * The field lists below are the one declaration of both documents: the
 * structures, the path tables of the parser and the order of the document
 * writer are all generated from them, so the layout is part of the library's
 * binary interface (sizeof(qvxml_values) == 37524, sizeof(qvxml_setup) ==
 * 129540). The first word of each structure is the time (seconds since the
 * epoch) of the last completed download attempt.
 *
 * Plain C, no functions.
 */
#ifndef QVXML_SETTINGS_H
#define QVXML_SETTINGS_H

#include <stdint.h>

/* Capacity (entries) of every list. */
#define QVXML_LIST_MAX_BinaryInSet 64
#define QVXML_LIST_MAX_BinaryOutSet 64
#define QVXML_LIST_MAX_SenSet 42
#define QVXML_LIST_MAX_TempRangeSet 42
#define QVXML_LIST_MAX_GroupSet 42
#define QVXML_LIST_MAX_SnmpTraps 4
#define QVXML_LIST_MAX_MailDest 4
#define QVXML_LIST_MAX_SnmpAccess 2
#define QVXML_LIST_MAX_User 2

/*
 * Field lists. F(name, size): a field; E(list, name, size): a field inside
 * each Entry of `list`. An "_" inside a name is a nested element
 * (Dest_Snmp1 is Snmp1 inside Dest).
 */
/* clang-format off */
#define QVXML_VALUES_FIELDS(F, E)                                              \
    F(Agent_Version, 12) F(Agent_XmlVer, 12) F(Agent_DeviceName, 52)           \
    F(Agent_Model, 8) F(Agent_VendorID, 12) F(Agent_MAC, 20)                   \
    F(Agent_Title, 152) F(Agent_Contact, 152)                                  \
    F(TemperRange_Min, 8) F(TemperRange_Max, 8)                                \
    E(BinaryInSet, ID, 12) E(BinaryInSet, Name, 52) E(BinaryInSet, Value, 16)  \
    E(BinaryInSet, AlarmState, 4) E(BinaryInSet, Alarm, 52)                    \
    E(BinaryInSet, State, 4) E(BinaryInSet, Cnt, 52) E(BinaryInSet, Color, 4)  \
    E(BinaryInSet, SNMPTrap, 4) E(BinaryInSet, EmailSMS, 4)                    \
    E(BinaryInSet, Idx, 4)                                                     \
    F(BinaryInSet_AlarmAction, 52)                                             \
    E(BinaryOutSet, ID, 12) E(BinaryOutSet, Name, 52) E(BinaryOutSet, Type, 4) \
    E(BinaryOutSet, Value, 16) E(BinaryOutSet, Mode, 52)                       \
    E(BinaryOutSet, CondInputID, 52) E(BinaryOutSet, Trigger, 52)              \
    E(BinaryOutSet, Idx, 4)                                                    \
    E(SenSet, Name, 52) E(SenSet, ID, 12) E(SenSet, Units, 8)                  \
    E(SenSet, Value, 16) E(SenSet, Exp, 52) E(SenSet, Min, 8)                  \
    E(SenSet, Max, 8) E(SenSet, Hyst, 8) E(SenSet, SNMPTrap, 4)                \
    E(SenSet, EmailSMS, 4) E(SenSet, Color, 4) E(SenSet, State, 4)             \
    E(SenSet, Calib, 8) E(SenSet, Idx, 4)                                      \
    F(Time_Date, 20) F(Time_Time, 20)

#define QVXML_VALUES_LISTS(L) L(BinaryInSet) L(BinaryOutSet) L(SenSet)

#define QVXML_SETUP_FIELDS(F, E)                                               \
    F(Agent_Version, 12) F(Agent_XmlVer, 12) F(Agent_DeviceName, 52)           \
    F(Agent_Model, 8) F(Agent_VendorID, 12) F(Agent_MAC, 20)                   \
    F(Agent_Title, 152) F(Agent_Contact, 152)                                  \
    F(Status_NtpState, 52)                                                     \
    F(TemperRange_Min, 8) F(TemperRange_Max, 8)                                \
    E(BinaryInSet, ID, 12) E(BinaryInSet, Name, 52)                            \
    E(BinaryInSet, NameOpen, 52) E(BinaryInSet, NameClose, 52)                 \
    E(BinaryInSet, Cnt, 52) E(BinaryInSet, Value, 16)                          \
    E(BinaryInSet, AlarmState, 4) E(BinaryInSet, Alarm, 52)                    \
    E(BinaryInSet, Color, 4) E(BinaryInSet, State, 4)                          \
    E(BinaryInSet, Mask1, 52) E(BinaryInSet, Mask2, 52)                        \
    E(BinaryInSet, Dest_Snmp1, 52) E(BinaryInSet, Dest_Snmp2, 52)              \
    E(BinaryInSet, Dest_Snmp3, 52) E(BinaryInSet, Dest_Snmp4, 52)              \
    E(BinaryInSet, Dest_Mail1, 52) E(BinaryInSet, Dest_Mail2, 52)              \
    E(BinaryInSet, Dest_Delay, 52) E(BinaryInSet, Dest_E, 4)                   \
    E(BinaryInSet, SNMPTrap, 4) E(BinaryInSet, EmailSMS, 4)                    \
    E(BinaryInSet, Idx, 4)                                                     \
    F(BinaryInSet_AlarmAction, 52)                                             \
    E(BinaryOutSet, ID, 12) E(BinaryOutSet, Name, 52)                          \
    E(BinaryOutSet, NameOpen, 52) E(BinaryOutSet, NameClose, 52)               \
    E(BinaryOutSet, Value, 16) E(BinaryOutSet, Type, 4)                        \
    E(BinaryOutSet, Mode, 52) E(BinaryOutSet, CondInputID, 52)                 \
    E(BinaryOutSet, Trigger, 52) E(BinaryOutSet, Idx, 4)                       \
    E(SenSet, Name, 52) E(SenSet, ID, 12) E(SenSet, Units, 8)                  \
    E(SenSet, Min, 8) E(SenSet, Max, 8) E(SenSet, Hyst, 8) E(SenSet, E, 4)     \
    E(SenSet, Value, 16) E(SenSet, Exp, 52) E(SenSet, SNMPTrap, 4)             \
    E(SenSet, EmailSMS, 4) E(SenSet, Color, 4) E(SenSet, State, 4)             \
    E(SenSet, Calib, 8) E(SenSet, Dest_Snmp1, 52) E(SenSet, Dest_Snmp2, 52)    \
    E(SenSet, Dest_Snmp3, 52) E(SenSet, Dest_Snmp4, 52)                        \
    E(SenSet, Dest_Mail1, 52) E(SenSet, Dest_Mail2, 52)                        \
    E(SenSet, Dest_Delay, 52) E(SenSet, Dest_E, 4) E(SenSet, Idx, 4)           \
    E(TempRangeSet, Min, 8) E(TempRangeSet, Max, 8)                            \
    E(TempRangeSet, Alarm, 52) E(TempRangeSet, Idx, 4)                         \
    F(AlarmSet_Subj, 52) F(AlarmSet_Body, 52)                                  \
    E(GroupSet, Name, 52) E(GroupSet, Out, 52) E(GroupSet, OutState, 52)       \
    E(GroupSet, Alarm_Subj, 52) E(GroupSet, Alarm_Body, 52)                    \
    E(GroupSet, Dest_Snmp1, 52) E(GroupSet, Dest_Snmp2, 52)                    \
    E(GroupSet, Dest_Snmp3, 52) E(GroupSet, Dest_Snmp4, 52)                    \
    E(GroupSet, Dest_Mail1, 52) E(GroupSet, Dest_Mail2, 52)                    \
    E(GroupSet, Dest_Delay, 52) E(GroupSet, Dest_E, 4) E(GroupSet, Idx, 4)     \
    E(SnmpTraps, Community, 52) E(SnmpTraps, IPaddr, 20)                       \
    E(SnmpTraps, Port, 8) E(SnmpTraps, E, 4) E(SnmpTraps, Idx, 4)              \
    E(MailDest, To, 52) E(MailDest, Cc, 52) E(MailDest, E, 4)                  \
    E(MailDest, Idx, 4)                                                        \
    F(Counters_E, 4) F(Counters_Int, 52)                                       \
    F(BinSetG_AlarmDest, 4)                                                    \
    F(Global_Units, 8) F(Global_Logo, 52) F(Global_QVSec, 20)                  \
    F(Global_AlarmDelay, 52)                                                   \
    F(Network_Name, 52) F(Network_IPAddr, 20) F(Network_Submask, 20)           \
    F(Network_Gateway, 20) F(Network_HTTPport, 8) F(Network_TelnetPort, 8)     \
    F(Network_SNMPPort, 8) F(Network_DNSPrimary, 20)                           \
    F(Network_DNSSecondary, 20) F(Network_DHCP, 52)                            \
    F(Email_Server, 52) F(Email_Port, 8) F(Email_From, 52) F(Email_To, 52)     \
    F(Email_Subject, 52) F(Email_Auth, 4) F(Email_Name, 52)                    \
    F(Email_Pswd, 52) F(Email_State, 4) F(Email_Message, 152)                  \
    F(Time_SNTPServer, 52) F(Time_TimeShift, 8) F(Time_Date, 20)               \
    F(Time_Time, 20) F(Time_Port, 8) F(Time_Period, 52)                        \
    F(SMS_E, 4) F(SMS_Module, 52) F(SMS_CenterNmr, 52) F(SMS_Recp1, 52)        \
    F(SMS_Recp2, 52) F(SMS_RingOut, 52) F(SMS_State, 4) F(SMS_Message, 152)    \
    F(DataLogger_StorePeriod, 52) F(DataLogger_LogCapacity, 52)                \
    F(DataLogger_LogBins, 52) F(DataLogger_Report_E, 4)                        \
    F(DataLogger_Report_To, 52) F(DataLogger_Report_Period, 52)                \
    F(DataLogger_Report_Erase, 52)                                             \
    F(HTTPIPFilter_IPAddr, 20) F(HTTPIPFilter_Mask, 20)                        \
    F(SNMPIPFilter_IPAddr, 20) F(SNMPIPFilter_Mask, 20)                        \
    E(SnmpAccess, Community, 52) E(SnmpAccess, R, 4) E(SnmpAccess, W, 4)       \
    E(SnmpAccess, E, 4) E(SnmpAccess, Idx, 4)                                  \
    F(MIBIISysGroup_SysContact, 52) F(MIBIISysGroup_SysName, 52)               \
    F(MIBIISysGroup_SysLocation, 52)                                           \
    E(User, Name, 52) E(User, Pswd, 52) E(User, Idx, 4)                        \
    F(Info, 4)

#define QVXML_SETUP_LISTS(L)                                                   \
    L(BinaryInSet) L(BinaryOutSet) L(SenSet) L(TempRangeSet) L(GroupSet)       \
    L(SnmpTraps) L(MailDest) L(SnmpAccess) L(User)
/* clang-format on */

/* Number of fields (rows of the path tables). */
#define QVXML_VALUES_FIELD_COUNT 46
#define QVXML_SETUP_FIELD_COUNT 161

#define QVXML_DECLARE_FIELD_(name, size) char name[size];
#define QVXML_DECLARE_ENTRY_FIELD_(list, name, size)                                               \
    char list##_Entry_##name[QVXML_LIST_MAX_##list][size];
#define QVXML_DECLARE_COUNT_(list) int32_t list;

/* values.xml */
typedef struct qvxml_values {
    int32_t time; /* last completed download attempt, seconds since the epoch */
    QVXML_VALUES_FIELDS(QVXML_DECLARE_FIELD_, QVXML_DECLARE_ENTRY_FIELD_)
} qvxml_values;

/* Entries of each list of values.xml, in this order. */
typedef struct qvxml_values_counts {
    QVXML_VALUES_LISTS(QVXML_DECLARE_COUNT_)
} qvxml_values_counts;

/* setup.xml */
typedef struct qvxml_setup {
    int32_t time; /* last completed download attempt, seconds since the epoch */
    QVXML_SETUP_FIELDS(QVXML_DECLARE_FIELD_, QVXML_DECLARE_ENTRY_FIELD_)
} qvxml_setup;

/* Entries of each list of setup.xml, in this order. */
typedef struct qvxml_setup_counts {
    QVXML_SETUP_LISTS(QVXML_DECLARE_COUNT_)
} qvxml_setup_counts;

#endif
