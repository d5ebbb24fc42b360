// Resource and control identifiers of Tarnwick.exe, shared by the .rc file, the window and the
// window tests. Plain #defines, since the resource compiler reads this file too.
#pragma once

#define IDI_TARNWICK 1
#define IDI_SELECT_ALL 101
#define IDI_DESELECT_ALL 102
#define IDI_INVERT 103
#define IDI_MAKE_ADM 104
#define IDI_GPEDIT 105

#define IDR_MAINMENU 200
#define IDM_HELP_ABOUT 201
#define IDM_LEGAL_INFO 202
#define IDM_POLICY_MAKE 203
#define IDM_POLICY_EXPORT 204

#define IDC_FRAME1 1001
#define IDC_FRAME2 1002
#define IDC_OPTION1_0 1010
#define IDC_OPTION1_1 1011
#define IDC_CHKDRIVE_0 1100 /* chkDrive(i) is IDC_CHKDRIVE_0 + i, i = 0..25 */
#define IDC_LABEL1 1201
#define IDC_LABEL2 1202
#define IDC_LABEL3 1203
#define IDC_TXTSOURCEADM 1301
#define IDC_TXTNEWADM 1302
#define IDC_CMDSELECT_0 1400 /* cmdSelect(i) is IDC_CMDSELECT_0 + i, i = 0..2 */
#define IDC_COMMAND1 1500
#define IDC_CMDRUNGPEDIT 1501
#define IDC_PICSELECTALL 1601
#define IDC_PICDESELECT 1602
#define IDC_PICINVERT 1603
#define IDC_PICADM 1604
#define IDC_PICTURE2 1605

#define ID_TIMER1 1

/* Export's dialog for whom preference items apply: the conditions so far, and one being typed. */
#define IDD_GPP_TARGET 300
#define IDC_GPP_LIST 3001
#define IDC_GPP_GROUP 3002
#define IDC_GPP_OU 3003
#define IDC_GPP_NAME 3004
#define IDC_GPP_SID 3005
#define IDC_GPP_USER 3006
#define IDC_GPP_NOT 3007
#define IDC_GPP_ADD 3008
#define IDC_GPP_REMOVE 3009
#define IDC_GPP_LOOKUP 3010
#define IDC_GPP_HINT 3011
