// The string table's entries by name, for both programs and the resource
// compiler (strings.rc beside this file holds the texts). 111, 132 and 149
// are printf formats; the others take "%1" and "%2".
#ifndef MESSAGES_STRINGIDS_H_
#define MESSAGES_STRINGIDS_H_

#define IDS_ABOUTBOX                   101
#define IDS_ERROR_CAPTION              102
#define IDS_NO_BIG_PATH                103
#define IDS_BIG_NOT_FOUND              104
#define IDS_OPEN_FAILED                105
#define IDS_CONFIRM_CAPTION            106
#define IDS_ASK_SMALL_TO_BIG           107
#define IDS_CONVERTING_SMALL_TO_BIG    108
#define IDS_CANCEL                     109
#define IDS_OK                         110
#define IDS_PERCENT_CONVERTED          111
#define IDS_CONVERTED                  112
#define IDS_ASK_CANCEL                 113
#define IDS_NO_SMALL_PATH              114
#define IDS_SMALL_NOT_FOUND            115
#define IDS_ASK_BIG_TO_SMALL           116
#define IDS_CONVERTING_BIG_TO_SMALL    117
#define IDS_ASK_SWAP_SMALL_TO_BIG      118
#define IDS_ASK_SWAP_BIG_TO_SMALL      119
#define IDS_INFORMATION_CAPTION        120
#define IDS_COPIED                     121
#define IDS_CONVERTING_PERSONAL        122
#define IDS_ASK_PERSONAL               123
#define IDS_NO_OLD_PERSONAL            124
#define IDS_NEW_PERSONAL_NOT_FOUND     125
#define IDS_OLD_PERSONAL_OPEN_FAILED   126
#define IDS_NEW_PERSONAL_OPEN_FAILED   127
#define IDS_OLD_PERSONAL_NOT_FOUND     128
#define IDS_NO_NEW_PERSONAL            129
#define IDS_ASK_SWAP_PERSONAL          130
#define IDS_FIELDS_MISSING             131
#define IDS_RECORDS_MISSING            132
#define IDS_NOT_STARTED                133
#define IDS_NOT_COPIED                 134
#define IDS_NOT_CHANGED                135
#define IDS_NOT_CHANGED_COPY_IN        136
#define IDS_RESTORE_FROM               137
#define IDS_ONE_FILE                   138
#define IDS_NO_CONVERTED_INDEX         139
#define IDS_NO_BACKUP_NAME             140
#define IDS_INI_PATH_TOO_LONG          141
#define IDS_PATH_TOO_LONG              142
#define IDS_ONLY_BIG_TO_SMALL          143
#define IDS_ONLY_SMALL_TO_BIG          144
#define IDS_TARGET_BUSY                145
#define IDS_NOT_SWAPPED_AFTER_WARNINGS 146
#define IDS_REPORT_NOT_WRITTEN         147
#define IDS_LIVE_PATH_TOO_LONG         148
#define IDS_RECORDS_UNREAD             149
#define IDS_NOT_WRITABLE               150
#define IDS_BACKUP_NOT_WRITABLE        151
#define IDS_NO_ROOM_FOR_SWAP           152

#endif  // MESSAGES_STRINGIDS_H_
