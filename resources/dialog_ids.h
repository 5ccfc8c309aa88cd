/* Control ids of the error and traceback dialogs. Shared by dialogs.rc and the
   C++ code, so plain preprocessor definitions only. */
#ifndef ORV_DIALOG_IDS_H
#define ORV_DIALOG_IDS_H

#define ORV_IDC_HEADING 100      /* "Error:" */
#define ORV_IDC_SCRIPT 101       /* script file path */
#define ORV_IDC_MESSAGE 102      /* "NNNN:  message" */
#define ORV_IDC_LINE_INFO 110    /* "On line N of FILE" */
#define ORV_IDC_FILE_INFO 111    /* "In FILE" */
#define ORV_IDC_STATEMENT 120    /* failing statement, read-only edit */
#define ORV_IDC_VERSION 130      /* version text */
#define ORV_IDC_MORE_INFO 131    /* "&More Error Info" */
#define ORV_IDC_TRACEBACK 132    /* "&Traceback" */
#define ORV_IDC_WEB_PAGE 140     /* "Tech Support &Web Page" */
#define ORV_IDC_TRACE_LIST 150   /* list view of the traceback dialog */

/* Buttons 1 and 2: "&OK" (ERRORMSG), "&Continue" and "&Exit" (ERRORMSGB). */
#define ORV_IDC_FIRST_BUTTON 1
#define ORV_IDC_SECOND_BUTTON 2

#endif
