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
 * Field lists. FIELD_(name, size): a field; ENTRY_(list, name, size): a field
 * inside each Entry of `list`. An "_" inside a name is a nested element
 * (Dest_Snmp1 is Snmp1 inside Dest).
 */
/* clang-format off */
#define QVXML_VALUES_FIELDS(FIELD_, ENTRY_)                                              \
    FIELD_(Agent_Version, 12) FIELD_(Agent_XmlVer, 12) FIELD_(Agent_DeviceName, 52)           \
    FIELD_(Agent_Model, 8) FIELD_(Agent_VendorID, 12) FIELD_(Agent_MAC, 20)                   \
    FIELD_(Agent_Title, 152) FIELD_(Agent_Contact, 152)                                  \
    FIELD_(TemperRange_Min, 8) FIELD_(TemperRange_Max, 8)                                \
    ENTRY_(BinaryInSet, ID, 12) ENTRY_(BinaryInSet, Name, 52) ENTRY_(BinaryInSet, Value, 16)  \
    ENTRY_(BinaryInSet, AlarmState, 4) ENTRY_(BinaryInSet, Alarm, 52)                    \
    ENTRY_(BinaryInSet, State, 4) ENTRY_(BinaryInSet, Cnt, 52) ENTRY_(BinaryInSet, Color, 4)  \
    ENTRY_(BinaryInSet, SNMPTrap, 4) ENTRY_(BinaryInSet, EmailSMS, 4)                    \
    ENTRY_(BinaryInSet, Idx, 4)                                                     \
    FIELD_(BinaryInSet_AlarmAction, 52)                                             \
    ENTRY_(BinaryOutSet, ID, 12) ENTRY_(BinaryOutSet, Name, 52) ENTRY_(BinaryOutSet, Type, 4) \
    ENTRY_(BinaryOutSet, Value, 16) ENTRY_(BinaryOutSet, Mode, 52)                       \
    ENTRY_(BinaryOutSet, CondInputID, 52) ENTRY_(BinaryOutSet, Trigger, 52)              \
    ENTRY_(BinaryOutSet, Idx, 4)                                                    \
    ENTRY_(SenSet, Name, 52) ENTRY_(SenSet, ID, 12) ENTRY_(SenSet, Units, 8)                  \
    ENTRY_(SenSet, Value, 16) ENTRY_(SenSet, Exp, 52) ENTRY_(SenSet, Min, 8)                  \
    ENTRY_(SenSet, Max, 8) ENTRY_(SenSet, Hyst, 8) ENTRY_(SenSet, SNMPTrap, 4)                \
    ENTRY_(SenSet, EmailSMS, 4) ENTRY_(SenSet, Color, 4) ENTRY_(SenSet, State, 4)             \
    ENTRY_(SenSet, Calib, 8) ENTRY_(SenSet, Idx, 4)                                      \
    FIELD_(Time_Date, 20) FIELD_(Time_Time, 20)

#define QVXML_VALUES_LISTS(LIST_) LIST_(BinaryInSet) LIST_(BinaryOutSet) LIST_(SenSet)

#define QVXML_SETUP_FIELDS(FIELD_, ENTRY_)                                               \
    FIELD_(Agent_Version, 12) FIELD_(Agent_XmlVer, 12) FIELD_(Agent_DeviceName, 52)           \
    FIELD_(Agent_Model, 8) FIELD_(Agent_VendorID, 12) FIELD_(Agent_MAC, 20)                   \
    FIELD_(Agent_Title, 152) FIELD_(Agent_Contact, 152)                                  \
    FIELD_(Status_NtpState, 52)                                                     \
    FIELD_(TemperRange_Min, 8) FIELD_(TemperRange_Max, 8)                                \
    ENTRY_(BinaryInSet, ID, 12) ENTRY_(BinaryInSet, Name, 52)                            \
    ENTRY_(BinaryInSet, NameOpen, 52) ENTRY_(BinaryInSet, NameClose, 52)                 \
    ENTRY_(BinaryInSet, Cnt, 52) ENTRY_(BinaryInSet, Value, 16)                          \
    ENTRY_(BinaryInSet, AlarmState, 4) ENTRY_(BinaryInSet, Alarm, 52)                    \
    ENTRY_(BinaryInSet, Color, 4) ENTRY_(BinaryInSet, State, 4)                          \
    ENTRY_(BinaryInSet, Mask1, 52) ENTRY_(BinaryInSet, Mask2, 52)                        \
    ENTRY_(BinaryInSet, Dest_Snmp1, 52) ENTRY_(BinaryInSet, Dest_Snmp2, 52)              \
    ENTRY_(BinaryInSet, Dest_Snmp3, 52) ENTRY_(BinaryInSet, Dest_Snmp4, 52)              \
    ENTRY_(BinaryInSet, Dest_Mail1, 52) ENTRY_(BinaryInSet, Dest_Mail2, 52)              \
    ENTRY_(BinaryInSet, Dest_Delay, 52) ENTRY_(BinaryInSet, Dest_E, 4)                   \
    ENTRY_(BinaryInSet, SNMPTrap, 4) ENTRY_(BinaryInSet, EmailSMS, 4)                    \
    ENTRY_(BinaryInSet, Idx, 4)                                                     \
    FIELD_(BinaryInSet_AlarmAction, 52)                                             \
    ENTRY_(BinaryOutSet, ID, 12) ENTRY_(BinaryOutSet, Name, 52)                          \
    ENTRY_(BinaryOutSet, NameOpen, 52) ENTRY_(BinaryOutSet, NameClose, 52)               \
    ENTRY_(BinaryOutSet, Value, 16) ENTRY_(BinaryOutSet, Type, 4)                        \
    ENTRY_(BinaryOutSet, Mode, 52) ENTRY_(BinaryOutSet, CondInputID, 52)                 \
    ENTRY_(BinaryOutSet, Trigger, 52) ENTRY_(BinaryOutSet, Idx, 4)                       \
    ENTRY_(SenSet, Name, 52) ENTRY_(SenSet, ID, 12) ENTRY_(SenSet, Units, 8)                  \
    ENTRY_(SenSet, Min, 8) ENTRY_(SenSet, Max, 8) ENTRY_(SenSet, Hyst, 8) ENTRY_(SenSet, E, 4)     \
    ENTRY_(SenSet, Value, 16) ENTRY_(SenSet, Exp, 52) ENTRY_(SenSet, SNMPTrap, 4)             \
    ENTRY_(SenSet, EmailSMS, 4) ENTRY_(SenSet, Color, 4) ENTRY_(SenSet, State, 4)             \
    ENTRY_(SenSet, Calib, 8) ENTRY_(SenSet, Dest_Snmp1, 52) ENTRY_(SenSet, Dest_Snmp2, 52)    \
    ENTRY_(SenSet, Dest_Snmp3, 52) ENTRY_(SenSet, Dest_Snmp4, 52)                        \
    ENTRY_(SenSet, Dest_Mail1, 52) ENTRY_(SenSet, Dest_Mail2, 52)                        \
    ENTRY_(SenSet, Dest_Delay, 52) ENTRY_(SenSet, Dest_E, 4) ENTRY_(SenSet, Idx, 4)           \
    ENTRY_(TempRangeSet, Min, 8) ENTRY_(TempRangeSet, Max, 8)                            \
    ENTRY_(TempRangeSet, Alarm, 52) ENTRY_(TempRangeSet, Idx, 4)                         \
    FIELD_(AlarmSet_Subj, 52) FIELD_(AlarmSet_Body, 52)                                  \
    ENTRY_(GroupSet, Name, 52) ENTRY_(GroupSet, Out, 52) ENTRY_(GroupSet, OutState, 52)       \
    ENTRY_(GroupSet, Alarm_Subj, 52) ENTRY_(GroupSet, Alarm_Body, 52)                    \
    ENTRY_(GroupSet, Dest_Snmp1, 52) ENTRY_(GroupSet, Dest_Snmp2, 52)                    \
    ENTRY_(GroupSet, Dest_Snmp3, 52) ENTRY_(GroupSet, Dest_Snmp4, 52)                    \
    ENTRY_(GroupSet, Dest_Mail1, 52) ENTRY_(GroupSet, Dest_Mail2, 52)                    \
    ENTRY_(GroupSet, Dest_Delay, 52) ENTRY_(GroupSet, Dest_E, 4) ENTRY_(GroupSet, Idx, 4)     \
    ENTRY_(SnmpTraps, Community, 52) ENTRY_(SnmpTraps, IPaddr, 20)                       \
    ENTRY_(SnmpTraps, Port, 8) ENTRY_(SnmpTraps, E, 4) ENTRY_(SnmpTraps, Idx, 4)              \
    ENTRY_(MailDest, To, 52) ENTRY_(MailDest, Cc, 52) ENTRY_(MailDest, E, 4)                  \
    ENTRY_(MailDest, Idx, 4)                                                        \
    FIELD_(Counters_E, 4) FIELD_(Counters_Int, 52)                                       \
    FIELD_(BinSetG_AlarmDest, 4)                                                    \
    FIELD_(Global_Units, 8) FIELD_(Global_Logo, 52) FIELD_(Global_QVSec, 20)                  \
    FIELD_(Global_AlarmDelay, 52)                                                   \
    FIELD_(Network_Name, 52) FIELD_(Network_IPAddr, 20) FIELD_(Network_Submask, 20)           \
    FIELD_(Network_Gateway, 20) FIELD_(Network_HTTPport, 8) FIELD_(Network_TelnetPort, 8)     \
    FIELD_(Network_SNMPPort, 8) FIELD_(Network_DNSPrimary, 20)                           \
    FIELD_(Network_DNSSecondary, 20) FIELD_(Network_DHCP, 52)                            \
    FIELD_(Email_Server, 52) FIELD_(Email_Port, 8) FIELD_(Email_From, 52) FIELD_(Email_To, 52)     \
    FIELD_(Email_Subject, 52) FIELD_(Email_Auth, 4) FIELD_(Email_Name, 52)                    \
    FIELD_(Email_Pswd, 52) FIELD_(Email_State, 4) FIELD_(Email_Message, 152)                  \
    FIELD_(Time_SNTPServer, 52) FIELD_(Time_TimeShift, 8) FIELD_(Time_Date, 20)               \
    FIELD_(Time_Time, 20) FIELD_(Time_Port, 8) FIELD_(Time_Period, 52)                        \
    FIELD_(SMS_E, 4) FIELD_(SMS_Module, 52) FIELD_(SMS_CenterNmr, 52) FIELD_(SMS_Recp1, 52)        \
    FIELD_(SMS_Recp2, 52) FIELD_(SMS_RingOut, 52) FIELD_(SMS_State, 4) FIELD_(SMS_Message, 152)    \
    FIELD_(DataLogger_StorePeriod, 52) FIELD_(DataLogger_LogCapacity, 52)                \
    FIELD_(DataLogger_LogBins, 52) FIELD_(DataLogger_Report_E, 4)                        \
    FIELD_(DataLogger_Report_To, 52) FIELD_(DataLogger_Report_Period, 52)                \
    FIELD_(DataLogger_Report_Erase, 52)                                             \
    FIELD_(HTTPIPFilter_IPAddr, 20) FIELD_(HTTPIPFilter_Mask, 20)                        \
    FIELD_(SNMPIPFilter_IPAddr, 20) FIELD_(SNMPIPFilter_Mask, 20)                        \
    ENTRY_(SnmpAccess, Community, 52) ENTRY_(SnmpAccess, R, 4) ENTRY_(SnmpAccess, W, 4)       \
    ENTRY_(SnmpAccess, E, 4) ENTRY_(SnmpAccess, Idx, 4)                                  \
    FIELD_(MIBIISysGroup_SysContact, 52) FIELD_(MIBIISysGroup_SysName, 52)               \
    FIELD_(MIBIISysGroup_SysLocation, 52)                                           \
    ENTRY_(User, Name, 52) ENTRY_(User, Pswd, 52) ENTRY_(User, Idx, 4)                        \
    FIELD_(Info, 4)

#define QVXML_SETUP_LISTS(LIST_)                                                   \
    LIST_(BinaryInSet) LIST_(BinaryOutSet) LIST_(SenSet) LIST_(TempRangeSet) LIST_(GroupSet)       \
    LIST_(SnmpTraps) LIST_(MailDest) LIST_(SnmpAccess) LIST_(User)
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
