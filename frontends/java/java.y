/* The Java 5 grammar.  Every reduction builds its symbol's part of the
 * parse tree: a symbol whose name begins with an underscore is transparent
 * (its children stand directly in the enclosing element), any other
 * becomes an element.  The alternatives are in the order that decides
 * bison's default conflict resolution (shift over reduce, the earlier rule
 * over the later one), and that resolution shapes the trees.  The build
 * checks bison's report against the counts of this grammar (513
 * shift/reduce and 98 reduce/reduce conflicts, and two rules that can never
 * be reduced because of them: FldAcc: Qlid DOT CLASS and ClsTypeExpr:
 * Qlid): an edit that changes them fails the build.  (%expect cannot say
 * this: bison accepts reduce/reduce conflicts in an LALR parser only
 * without it.) */

%code requires {
#include "frontends/java/parse_context.h"
}

%code {
namespace {
int java_yylex(JAVA_YYSTYPE* value, java::ParseContext& P) { return P.nextToken(*value); }
// Errors are reported through the status file; nothing is printed.
void java_yyerror(java::ParseContext&, const char*) {}
using java::Hook;
}  // namespace
}

%{
/* Parser stacks start with room for 100000 entries and double up to
 * 1000000; deeper input fails as a syntax error would.  (The fuzzing build
 * shrinks both to reach the growth and overflow paths quickly.) */
#ifndef YYINITDEPTH
#define YYINITDEPTH 100000
#endif
#ifndef YYMAXDEPTH
#define YYMAXDEPTH 1000000
#endif
%}

%define api.prefix {java_yy}
%define api.pure full
%define api.value.type {java::Symbol}
%param {java::ParseContext& P}

%token ABSTRACT BOOLEAN BREAK BYTE CASE CATCH CHAR CLASS CONST CONTINUE
%token DEFAULT DO DOUBLE ELSE EXTENDS FINAL FINALLY FLOAT FOR GOTO IF
%token IMPLEMENTS IMPORT INSTANCEOF INT INTERFACE LONG NATIVE NEW JNULL
%token PACKAGE PRIVATE PROTECTED PUBLIC RETURN SHORT STATIC SUPER SWITCH
%token SYNCHRONIZED THIS THROW THROWS TRANSIENT TRY VOID VOLATILE WHILE INC
%token DEC SHL SHR SHRR GE LE EQEQ NE LAND LOR DIM ASSMUL ASSDIV ASSMOD ASSADD
%token ASSSUB ASSSHL ASSSHR ASSSHRR ASSAND ASSXOR ASSOR IDEN NUMLIT CHRLIT
%token STRLIT BOOLLIT DOTSTAR ASSERT STRICTFP ENUM ELL AT_SYM CASTEXPR
%token AT_INTERFACE EXCL HASH DOLLAR PC AMP OPR CPR MUL ADD SUB CMA DOT DIV
%token COL SEMI LT GT EQ QUEST OSQ CSQ RDIV OBR CBR PIPE TILD CARET

%start Program

%%

TName
  : PrimType       { $$ = P.element("TName", {$1}); }
  | PrimType Dims  { $$ = P.element("TName", {$1, $2}); }
  | Qlid           { $$ = P.element("TName", {$1}); }
  ;

_ClassNameList
  : Qlid _opt_type_safety                     { $$ = P.join({$1, $2}); }
  | _ClassNameList CMA Qlid _opt_type_safety  { $$ = P.join({$1, $2, $3, $4}); }
  ;

PrimType
  : BOOLEAN  { $$ = P.element("PrimType", {$1}); }
  | CHAR     { $$ = P.element("PrimType", {$1}); }
  | BYTE     { $$ = P.element("PrimType", {$1}); }
  | SHORT    { $$ = P.element("PrimType", {$1}); }
  | INT      { $$ = P.element("PrimType", {$1}); }
  | LONG     { $$ = P.element("PrimType", {$1}); }
  | FLOAT    { $$ = P.element("PrimType", {$1}); }
  | DOUBLE   { $$ = P.element("PrimType", {$1}); }
  | VOID     { $$ = P.element("PrimType", {$1}); }
  ;

_SemiColons
  : SEMI              { $$ = P.join({$1}); }
  | _SemiColons SEMI  { $$ = P.join({$1, $2}); }
  ;

Program
  : _ProgramFile  { $$ = P.element("Program", {$1}); P.structure(Hook::Program, $$); }
  ;

_ProgramFile
  : PkgStmt _ImportStatements _TypeDeclarations  { $$ = P.join({$1, $2, $3}); }
  | PkgStmt _ImportStatements                    { $$ = P.join({$1, $2}); }
  | PkgStmt _TypeDeclarations                    { $$ = P.join({$1, $2}); }
  | _ImportStatements _TypeDeclarations          { $$ = P.join({$1, $2}); }
  | PkgStmt                                      { $$ = P.join({$1}); }
  | _TypeDeclarations                            { $$ = P.join({$1}); }
  | MtdDecln                                     { $$ = P.join({$1}); }
  ;

PkgStmt
  : PACKAGE Qlid _SemiColons  { $$ = P.element("PkgStmt", {$1, $2, $3}); }
  ;

_TypeDeclarations
  : _TypeDeclarationOptSemi                    { $$ = P.join({$1}); }
  | _TypeDeclarationOptSemi _TypeDeclarations  { $$ = P.join({$1, $2}); }
  ;

_TypeDeclarationOptSemi
  : TypeDecln              { $$ = P.join({$1}); }
  | AnnotDecln             { $$ = P.join({$1}); }
  | TypeDecln _SemiColons  { $$ = P.join({$1, $2}); }
  ;

_ImportStatements
  : ImpStmt                    { $$ = P.join({$1}); }
  | ImpStmt _ImportStatements  { $$ = P.join({$1, $2}); }
  ;

ImpStmt
  : IMPORT _optStatic Qlid _SemiColons          { $$ = P.element("ImpStmt", {$1, $2, $3, $4}); }
  | IMPORT _optStatic Qlid DOTSTAR _SemiColons  { $$ = P.element("ImpStmt", {$1, $2, $3, $4, $5}); }
  ;

_optStatic
  : %empty  { $$ = {}; }
  | STATIC  { $$ = P.join({$1}); }
  ;

Qlid
  : IDEN                  { $$ = P.element("Qlid", {$1}); }
  | IDEN Dims             { $$ = P.element("Qlid", {$1, $2}); }
  | IDEN DOT Qlid         { $$ = P.element("Qlid", {$1, $2, $3}); P.op("DOT"); }
  | IDEN DOT CLASS        { $$ = P.element("Qlid", {$1, $2, $3}); P.op("DOT"); }
  | THIS DOT Qlid         { $$ = P.element("Qlid", {$1, $2, $3}); P.op("DOT"); }
  | SUPER DOT Qlid        { $$ = P.element("Qlid", {$1, $2, $3}); P.op("DOT"); }
  | JNULL DOT Qlid        { $$ = P.element("Qlid", {$1, $2, $3}); P.op("DOT"); }
  | Qlid DOT IDEN         { $$ = P.element("Qlid", {$1, $2, $3}); P.op("DOT"); }
  | IDEN DOT CLASS Dims   { $$ = P.element("Qlid", {$1, $2, $3, $4}); P.op("DOT"); }
  | Qlid DOT CLASS        { $$ = P.element("Qlid", {$1, $2, $3}); P.op("DOT"); }
  | IDEN DOT THIS         { $$ = P.element("Qlid", {$1, $2, $3}); P.op("DOT"); }
  | THIS DOT _PlainAlloc  { $$ = P.element("Qlid", {$1, $2, $3}); P.op("DOT"); }
  | IDEN DOT _PlainAlloc  { $$ = P.element("Qlid", {$1, $2, $3}); P.op("DOT"); }
  ;

TypeDecln
  : ClsHeader OBR _FieldDeclarations CBR  { $$ = P.element("TypeDecln", {$1, $2, $3, $4}); P.structure(Hook::TypeDecln, $$); }
  | ClsHeader OBR CBR                     { $$ = P.element("TypeDecln", {$1, $2, $3}); P.structure(Hook::TypeDecln, $$); }
  | EnumDecln                             { $$ = P.element("TypeDecln", {$1}); P.structure(Hook::TypeDecln, $$); }
  ;

EnumDecln
  : EnumHeader _EnumBody  { $$ = P.element("EnumDecln", {$1, $2}); P.structure(Hook::EnumDecln, $$); }
  ;

EnumHeader
  : _opt_Modifier ENUM IDEN  { $$ = P.element("EnumHeader", {$1, $2, $3}); P.structure(Hook::EnumHeader, $$); }
  ;

_EnumBody
  : OBR _EnumMemDeclns CBR  { $$ = P.join({$1, $2, $3}); }
  | OBR CBR                 { $$ = P.join({$1, $2}); }
  ;

_EnumMemDeclns
  : _Expr_list SEMI _FieldDeclarations  { $$ = P.join({$1, $2, $3}); }
  | _Expr_list _opt_semi                { $$ = P.join({$1, $2}); }
  ;

_Expr_list
  : Expr _opt_cma        { $$ = P.join({$1, $2}); }
  | Expr CMA _Expr_list  { $$ = P.join({$1, $2, $3}); }
  ;

_opt_cma
  : %empty  { $$ = {}; }
  | CMA     { $$ = P.join({$1}); }
  ;

_opt_semi
  : %empty  { $$ = {}; }
  | SEMI    { $$ = P.join({$1}); }
  ;

ClsHeader
  : _Modifiers _ClassWord IDEN _opt_type_safety Extends Infaces  { $$ = P.element("ClsHeader", {$1, $2, $3, $4, $5, $6}); P.structure(Hook::ClsHeader, $$); }
  | _Modifiers _ClassWord IDEN _opt_type_safety Extends          { $$ = P.element("ClsHeader", {$1, $2, $3, $4, $5}); P.structure(Hook::ClsHeader, $$); }
  | _Modifiers _ClassWord IDEN _opt_type_safety Infaces          { $$ = P.element("ClsHeader", {$1, $2, $3, $4, $5}); P.structure(Hook::ClsHeader, $$); }
  | _ClassWord IDEN _opt_type_safety Extends Infaces             { $$ = P.element("ClsHeader", {$1, $2, $3, $4, $5}); P.structure(Hook::ClsHeader, $$); }
  | _Modifiers _ClassWord IDEN _opt_type_safety                  { $$ = P.element("ClsHeader", {$1, $2, $3, $4}); P.structure(Hook::ClsHeader, $$); }
  | _ClassWord IDEN _opt_type_safety Extends                     { $$ = P.element("ClsHeader", {$1, $2, $3, $4}); P.structure(Hook::ClsHeader, $$); }
  | _ClassWord IDEN _opt_type_safety Infaces                     { $$ = P.element("ClsHeader", {$1, $2, $3, $4}); P.structure(Hook::ClsHeader, $$); }
  | _ClassWord IDEN _opt_type_safety                             { $$ = P.element("ClsHeader", {$1, $2, $3}); P.structure(Hook::ClsHeader, $$); }
  ;

_Modifiers
  : Modifier             { $$ = P.join({$1}); }
  | Modifier _Modifiers  { $$ = P.join({$1, $2}); }
  ;

Modifier
  : ABSTRACT      { $$ = P.element("Modifier", {$1}); }
  | FINAL         { $$ = P.element("Modifier", {$1}); }
  | PUBLIC        { $$ = P.element("Modifier", {$1}); }
  | PROTECTED     { $$ = P.element("Modifier", {$1}); }
  | PRIVATE       { $$ = P.element("Modifier", {$1}); }
  | STATIC        { $$ = P.element("Modifier", {$1}); }
  | TRANSIENT     { $$ = P.element("Modifier", {$1}); }
  | VOLATILE      { $$ = P.element("Modifier", {$1}); }
  | NATIVE        { $$ = P.element("Modifier", {$1}); }
  | SYNCHRONIZED  { $$ = P.element("Modifier", {$1}); }
  | STRICTFP      { $$ = P.element("Modifier", {$1}); }
  ;

_ClassWord
  : CLASS      { $$ = P.join({$1}); }
  | INTERFACE  { $$ = P.join({$1}); }
  ;

Infaces
  : IMPLEMENTS _ClassNameList  { $$ = P.element("Infaces", {$1, $2}); }
  ;

_FieldDeclarations
  : _FieldDeclarationOptSemi                     { $$ = P.join({$1}); }
  | _FieldDeclarationOptSemi _FieldDeclarations  { $$ = P.join({$1, $2}); }
  ;

_FieldDeclarationOptSemi
  : FldDecln              { $$ = P.join({$1}); }
  | FldDecln _SemiColons  { $$ = P.join({$1, $2}); }
  ;

FldDecln
  : FldVarDecln SEMI  { $$ = P.element("FldDecln", {$1, $2}); }
  | MtdDecln          { $$ = P.element("FldDecln", {$1}); }
  | CtorDecln         { $$ = P.element("FldDecln", {$1}); }
  | StaticInit        { $$ = P.element("FldDecln", {$1}); }
  | NonStaticInit     { $$ = P.element("FldDecln", {$1}); }
  | TypeDecln         { $$ = P.element("FldDecln", {$1}); }
  | AnnotDecln        { $$ = P.element("FldDecln", {$1}); }
  | AnnotType         { $$ = P.element("FldDecln", {$1}); }
  ;

AnnotDecln
  : _opt_Modifier AT_INTERFACE IDEN AnnTypeBody                 { $$ = P.element("AnnotDecln", {$1, $2, $3, $4}); }
  | _AnnotTypeList _opt_Modifier AT_INTERFACE IDEN AnnTypeBody  { $$ = P.element("AnnotDecln", {$1, $2, $3, $4, $5}); }
  ;

_opt_Modifier
  : %empty      { $$ = {}; }
  | _Modifiers  { $$ = P.join({$1}); }
  ;

AnnTypeBody
  : OBR _AnnTypeElementDeclns CBR  { $$ = P.element("AnnTypeBody", {$1, $2, $3}); }
  | OBR CBR                        { $$ = P.element("AnnTypeBody", {$1, $2}); }
  ;

_ExprStmt_list
  : ExprStmt                              { $$ = P.join({$1}); }
  | OBR ExprStmt CBR                      { $$ = P.join({$1, $2, $3}); }
  | ExprStmt CMA _ExprStmt_list           { $$ = P.join({$1, $2, $3}); }
  | OBR ExprStmt CMA _ExprStmt_list CBR   { $$ = P.join({$1, $2, $3, $4, $5}); }
  | AnnotType                             { $$ = P.join({$1}); }
  | OBR AnnotType CBR                     { $$ = P.join({$1, $2, $3}); }
  | AnnotType CMA _ExprStmt_list          { $$ = P.join({$1, $2, $3}); }
  | OBR AnnotType CMA _ExprStmt_list CBR  { $$ = P.join({$1, $2, $3, $4, $5}); }
  ;

_AnnTypeElementDeclns
  : AnnElemtDecln                        { $$ = P.join({$1}); }
  | AnnElemtDecln _AnnTypeElementDeclns  { $$ = P.join({$1, $2}); }
  ;

_opt_default_value
  : %empty                { $$ = {}; }
  | DEFAULT Expr SEMI     { $$ = P.join({$1, $2, $3}); }
  | DEFAULT OPR CPR       { $$ = P.join({$1, $2, $3}); }
  | DEFAULT OPR CPR SEMI  { $$ = P.join({$1, $2, $3, $4}); }
  | DEFAULT OBR CBR SEMI  { $$ = P.join({$1, $2, $3, $4}); }
  | DEFAULT OBR CBR       { $$ = P.join({$1, $2, $3}); }
  | SEMI                  { $$ = P.join({$1}); }
  ;

AnnElemtDecln
  : _opt_Modifier TypeSpec IDEN _paran_const _opt_default_value      { $$ = P.element("AnnElemtDecln", {$1, $2, $3, $4, $5}); }
  | _opt_Modifier TypeSpec DIM IDEN _paran_const _opt_default_value  { $$ = P.element("AnnElemtDecln", {$1, $2, $3, $4, $5, $6}); }
  | TypeDecln                                                        { $$ = P.element("AnnElemtDecln", {$1}); }
  | AnnotDecln                                                       { $$ = P.element("AnnElemtDecln", {$1}); }
  ;

_paran_const
  : OPR CPR     { $$ = P.join({$1, $2}); }
  | EQ VarInit  { $$ = P.join({$1, $2}); P.op("EQ"); }
  ;

_AnnotTypeList
  : %empty                    { $$ = {}; }
  | AnnotType _AnnotTypeList  { $$ = P.join({$1, $2}); }
  ;

AnnotType
  : AT_SYM IDEN                         { $$ = P.element("AnnotType", {$1, $2}); }
  | AT_SYM IDEN OPR _ExprStmt_list CPR  { $$ = P.element("AnnotType", {$1, $2, $3, $4, $5}); }
  ;

FldVarDecln
  : _Modifiers TypeSpec _VariableDeclarators  { $$ = P.element("FldVarDecln", {$1, $2, $3}); }
  | TypeSpec _VariableDeclarators             { $$ = P.element("FldVarDecln", {$1, $2}); }
  ;

_VariableDeclarators
  : VarDeclr                           { $$ = P.join({$1}); }
  | VarDeclr CMA _VariableDeclarators  { $$ = P.join({$1, $2, $3}); }
  ;

VarDeclr
  : _DeclaratorName             { $$ = P.element("VarDeclr", {$1}); }
  | _DeclaratorName EQ VarInit  { $$ = P.element("VarDeclr", {$1, $2, $3}); P.op("EQ"); }
  ;

VarInit
  : Expr                        { $$ = P.element("VarInit", {$1}); }
  | OBR CBR                     { $$ = P.element("VarInit", {$1, $2}); }
  | OBR _ArrayInitializers CBR  { $$ = P.element("VarInit", {$1, $2, $3}); }
  ;

_ArrayInitializers
  : VarInit                         { $$ = P.join({$1}); }
  | _ArrayInitializers CMA VarInit  { $$ = P.join({$1, $2, $3}); }
  | _ArrayInitializers CMA          { $$ = P.join({$1, $2}); }
  ;

MtdDecln
  : _mtddeclr MtdBody  { $$ = P.element("MtdDecln", {$1, $2}); P.structure(Hook::MtdDecln, $$); }
  ;

_mtddeclr
  : _Modifiers TypeSpec MtdDeclr Throws  { $$ = P.join({$1, $2, $3, $4}); P.structure(Hook::MethodHeader, $$); }
  | _Modifiers TypeSpec MtdDeclr         { $$ = P.join({$1, $2, $3}); P.structure(Hook::MethodHeader, $$); }
  | TypeSpec MtdDeclr Throws             { $$ = P.join({$1, $2, $3}); P.structure(Hook::MethodHeader, $$); }
  | TypeSpec MtdDeclr                    { $$ = P.join({$1, $2}); P.structure(Hook::MethodHeader, $$); }
  ;

MtdDeclr
  : _DeclaratorName OPR _ParameterList CPR  { $$ = P.element("MtdDeclr", {$1, $2, $3, $4}); P.op("MTD"); }
  | _DeclaratorName OPR CPR                 { $$ = P.element("MtdDeclr", {$1, $2, $3}); P.op("MTD"); }
  | MtdDeclr DIM                            { $$ = P.element("MtdDeclr", {$1, $2}); }
  ;

_ParameterList
  : Param                     { $$ = P.join({$1}); }
  | _ParameterList CMA Param  { $$ = P.join({$1, $2, $3}); }
  ;

Param
  : TypeSpec _opt_3dots _DeclaratorName  { $$ = P.element("Param", {$1, $2, $3}); }
  | FINAL TypeSpec _DeclaratorName       { $$ = P.element("Param", {$1, $2, $3}); }
  ;

_opt_3dots
  : %empty  { $$ = {}; }
  | ELL     { $$ = P.join({$1}); }
  ;

_DeclaratorName
  : IDEN                 { $$ = P.join({$1}); }
  | _DeclaratorName DIM  { $$ = P.join({$1, $2}); }
  ;

Throws
  : THROWS _ClassNameList  { $$ = P.element("Throws", {$1, $2}); }
  ;

MtdBody
  : Blk   { $$ = P.element("MtdBody", {$1}); }
  | SEMI  { $$ = P.element("MtdBody", {$1}); }
  ;

CtorDecln
  : _ctordeclr Blk  { $$ = P.element("CtorDecln", {$1, $2}); P.structure(Hook::CtorDecln, $$); }
  ;

_ctordeclr
  : _Modifiers CtorDeclr Throws  { $$ = P.join({$1, $2, $3}); P.structure(Hook::CtorHeader, $$); }
  | _Modifiers CtorDeclr         { $$ = P.join({$1, $2}); P.structure(Hook::CtorHeader, $$); }
  | CtorDeclr Throws             { $$ = P.join({$1, $2}); P.structure(Hook::CtorHeader, $$); }
  | CtorDeclr                    { $$ = P.join({$1}); P.structure(Hook::CtorHeader, $$); }
  ;

CtorDeclr
  : IDEN OPR _ParameterList CPR  { $$ = P.element("CtorDeclr", {$1, $2, $3, $4}); P.op("MTD"); }
  | IDEN OPR CPR                 { $$ = P.element("CtorDeclr", {$1, $2, $3}); P.op("MTD"); }
  ;

StaticInit
  : STATIC Blk  { $$ = P.element("StaticInit", {$1, $2}); P.structure(Hook::StaticInit, $$); }
  ;

NonStaticInit
  : Blk  { $$ = P.element("NonStaticInit", {$1}); P.structure(Hook::NonStaticInit, $$); }
  ;

Extends
  : EXTENDS _TName_type_safety      { $$ = P.element("Extends", {$1, $2}); }
  | Extends CMA _TName_type_safety  { $$ = P.element("Extends", {$1, $2, $3}); }
  ;

Blk
  : OBR _LocalVariableDeclarationsAndStatements CBR  { $$ = P.element("Blk", {$1, $2, $3}); }
  | OBR CBR                                          { $$ = P.element("Blk", {$1, $2}); }
  ;

_LocalVariableDeclarationsAndStatements
  : _LocalVariableDeclarationOrStatement                                          { $$ = P.join({$1}); }
  | _LocalVariableDeclarationOrStatement _LocalVariableDeclarationsAndStatements  { $$ = P.join({$1, $2}); }
  ;

_LocalVariableDeclarationOrStatement
  : LocVarDecln  { $$ = P.join({$1}); }
  | Stmt         { $$ = P.join({$1}); }
  ;

LocVarDecln
  : TypeSpec _VariableDeclarators SEMI        { $$ = P.element("LocVarDecln", {$1, $2, $3}); }
  | FINAL TypeSpec _VariableDeclarators SEMI  { $$ = P.element("LocVarDecln", {$1, $2, $3, $4}); }
  ;

Stmt
  : EmptyStmt        { $$ = P.element("Stmt", {$1}); }
  | LblStmt          { $$ = P.element("Stmt", {$1}); }
  | ExprStmt SEMI    { $$ = P.element("Stmt", {$1, $2}); }
  | SelStmt          { $$ = P.element("Stmt", {$1}); }
  | IterStmt         { $$ = P.element("Stmt", {$1}); }
  | JumpStmt         { $$ = P.element("Stmt", {$1}); }
  | assertStmt SEMI  { $$ = P.element("Stmt", {$1, $2}); }
  | GrdingStmt       { $$ = P.element("Stmt", {$1}); }
  | Blk              { $$ = P.element("Stmt", {$1}); }
  | TypeDecln        { $$ = P.element("Stmt", {$1}); }
  ;

assertStmt
  : ASSERT _expr_col_expr  { $$ = P.element("assertStmt", {$1, $2}); }
  ;

_expr_col_expr
  : ExprStmt               { $$ = P.join({$1}); }
  | ExprStmt COL ExprStmt  { $$ = P.join({$1, $2, $3}); }
  ;

EmptyStmt
  : SEMI  { $$ = P.element("EmptyStmt", {$1}); }
  ;

LblStmt
  : IDEN COL                      { $$ = P.element("LblStmt", {$1, $2}); }
  | CASE _ConstantExpression COL  { $$ = P.element("LblStmt", {$1, $2, $3}); }
  | DEFAULT COL                   { $$ = P.element("LblStmt", {$1, $2}); }
  ;

ExprStmt
  : Expr  { $$ = P.element("ExprStmt", {$1}); }
  ;

SelStmt
  : IF OPR Expr CPR Stmt            { $$ = P.element("SelStmt", {$1, $2, $3, $4, $5}); }
  | IF OPR Expr CPR Stmt ELSE Stmt  { $$ = P.element("SelStmt", {$1, $2, $3, $4, $5, $6, $7}); }
  | SWITCH OPR Expr CPR Blk         { $$ = P.element("SelStmt", {$1, $2, $3, $4, $5}); }
  ;

IterStmt
  : WHILE OPR Expr CPR Stmt                   { $$ = P.element("IterStmt", {$1, $2, $3, $4, $5}); }
  | DO Stmt WHILE OPR Expr CPR SEMI           { $$ = P.element("IterStmt", {$1, $2, $3, $4, $5, $6, $7}); }
  | FOR OPR ForInit ForExpr ForIncr CPR Stmt  { $$ = P.element("IterStmt", {$1, $2, $3, $4, $5, $6, $7}); }
  | FOR OPR ForInit ForExpr CPR Stmt          { $$ = P.element("IterStmt", {$1, $2, $3, $4, $5, $6}); }
  | FOR OPR for_each_var CPR Stmt             { $$ = P.element("IterStmt", {$1, $2, $3, $4, $5}); }
  ;

for_each_var
  : TypeSpec _DeclaratorName COL Expr  { $$ = P.element("for_each_var", {$1, $2, $3, $4}); }
  ;

ForInit
  : _ExpressionStatements SEMI  { $$ = P.element("ForInit", {$1, $2}); }
  | LocVarDecln                 { $$ = P.element("ForInit", {$1}); }
  | SEMI                        { $$ = P.element("ForInit", {$1}); }
  ;

ForExpr
  : Expr SEMI  { $$ = P.element("ForExpr", {$1, $2}); }
  | SEMI       { $$ = P.element("ForExpr", {$1}); }
  ;

ForIncr
  : _ExpressionStatements  { $$ = P.element("ForIncr", {$1}); }
  ;

_ExpressionStatements
  : ExprStmt                            { $$ = P.join({$1}); }
  | _ExpressionStatements CMA ExprStmt  { $$ = P.join({$1, $2, $3}); }
  ;

JumpStmt
  : BREAK IDEN SEMI     { $$ = P.element("JumpStmt", {$1, $2, $3}); }
  | BREAK SEMI          { $$ = P.element("JumpStmt", {$1, $2}); }
  | CONTINUE IDEN SEMI  { $$ = P.element("JumpStmt", {$1, $2, $3}); }
  | CONTINUE SEMI       { $$ = P.element("JumpStmt", {$1, $2}); }
  | RETURN Expr SEMI    { $$ = P.element("JumpStmt", {$1, $2, $3}); }
  | RETURN SEMI         { $$ = P.element("JumpStmt", {$1, $2}); }
  | THROW Expr SEMI     { $$ = P.element("JumpStmt", {$1, $2, $3}); }
  ;

GrdingStmt
  : SYNCHRONIZED OPR Expr CPR Stmt  { $$ = P.element("GrdingStmt", {$1, $2, $3, $4, $5}); }
  | TRY Blk Finally                 { $$ = P.element("GrdingStmt", {$1, $2, $3}); }
  | TRY Blk _Catches                { $$ = P.element("GrdingStmt", {$1, $2, $3}); }
  | TRY Blk _Catches Finally        { $$ = P.element("GrdingStmt", {$1, $2, $3, $4}); }
  ;

_Catches
  : Catch           { $$ = P.join({$1}); }
  | _Catches Catch  { $$ = P.join({$1, $2}); }
  ;

Catch
  : CatchHeader Blk  { $$ = P.element("Catch", {$1, $2}); }
  ;

CatchHeader
  : CATCH OPR FINAL TypeSpec IDEN CPR  { $$ = P.element("CatchHeader", {$1, $2, $3, $4, $5, $6}); }
  | CATCH OPR TypeSpec IDEN CPR        { $$ = P.element("CatchHeader", {$1, $2, $3, $4, $5}); }
  | CATCH OPR TypeSpec CPR             { $$ = P.element("CatchHeader", {$1, $2, $3, $4}); }
  ;

Finally
  : FINALLY Blk  { $$ = P.element("Finally", {$1, $2}); }
  ;

_PrimaryExpression
  : Qlid          { $$ = P.join({$1}); }
  | _NotJustName  { $$ = P.join({$1}); }
  ;

_NotJustName
  : SplName          { $$ = P.join({$1}); }
  | NewAllocExpr     { $$ = P.join({$1}); }
  | _ComplexPrimary  { $$ = P.join({$1}); }
  ;

_ComplexPrimary
  : OPR Expr CPR                  { $$ = P.join({$1, $2, $3}); }
  | _ComplexPrimaryNoParenthesis  { $$ = P.join({$1}); }
  ;

_ComplexPrimaryNoParenthesis
  : CHRLIT   { $$ = P.join({$1}); }
  | NUMLIT   { $$ = P.join({$1}); }
  | STRLIT   { $$ = P.join({$1}); }
  | BOOLLIT  { $$ = P.join({$1}); }
  | AryAcc   { $$ = P.join({$1}); }
  | FldAcc   { $$ = P.join({$1}); }
  | MtdCall  { $$ = P.join({$1}); }
  ;

AryAcc
  : Qlid OSQ Expr CSQ             { $$ = P.element("AryAcc", {$1, $2, $3, $4}); P.op("SQ"); }
  | _ComplexPrimary OSQ Expr CSQ  { $$ = P.element("AryAcc", {$1, $2, $3, $4}); P.op("SQ"); }
  ;

FldAcc
  : _NotJustName DOT IDEN          { $$ = P.element("FldAcc", {$1, $2, $3}); P.op("DOT"); }
  | _NotJustName DOT ClsAllocExpr  { $$ = P.element("FldAcc", {$1, $2, $3}); }
  | RealPostfixExpr DOT IDEN       { $$ = P.element("FldAcc", {$1, $2, $3}); P.op("DOT"); }
  | Qlid DOT CLASS                 { $$ = P.element("FldAcc", {$1, $2, $3}); P.op("DOT"); }
  | PrimType DOT CLASS             { $$ = P.element("FldAcc", {$1, $2, $3}); P.op("DOT"); }
  | PrimType Dims DOT CLASS        { $$ = P.element("FldAcc", {$1, $2, $3, $4}); P.op("DOT"); }
  ;

MtdCall
  : MtdAcc OPR _ArgumentList CPR  { $$ = P.element("MtdCall", {$1, $2, $3, $4}); P.op("MTD"); }
  | MtdAcc OPR CPR                { $$ = P.element("MtdCall", {$1, $2, $3}); P.op("MTD"); }
  ;

MtdAcc
  : _ComplexPrimaryNoParenthesis  { $$ = P.element("MtdAcc", {$1}); }
  | SplName                       { $$ = P.element("MtdAcc", {$1}); }
  | Qlid                          { $$ = P.element("MtdAcc", {$1}); }
  ;

SplName
  : THIS   { $$ = P.element("SplName", {$1}); }
  | SUPER  { $$ = P.element("SplName", {$1}); }
  | JNULL  { $$ = P.element("SplName", {$1}); }
  ;

_ArgumentList
  : Expr                    { $$ = P.join({$1}); }
  | _ArgumentList CMA Expr  { $$ = P.join({$1, $2, $3}); }
  ;

NewAllocExpr
  : _PlainNewAllocationExpression           { $$ = P.element("NewAllocExpr", {$1}); }
  | Qlid DOT _PlainNewAllocationExpression  { $$ = P.element("NewAllocExpr", {$1, $2, $3}); P.op("DOT"); }
  ;

_PlainNewAllocationExpression
  : _PlainAlloc  { $$ = P.join({$1}); }
  | AnonyClass   { $$ = P.join({$1}); }
  ;

_PlainAlloc
  : AryAllocExpr                             { $$ = P.join({$1}); }
  | ClsAllocExpr                             { $$ = P.join({$1}); }
  | AryAllocExpr OBR CBR                     { $$ = P.join({$1, $2, $3}); }
  | ClsAllocExpr OBR CBR                     { $$ = P.join({$1, $2, $3}); }
  | AryAllocExpr OBR _ArrayInitializers CBR  { $$ = P.join({$1, $2, $3, $4}); }
  ;

AnonyClass
  : _anonyclass _FieldDeclarations CBR  { $$ = P.element("AnonyClass", {$1, $2, $3}); P.structure(Hook::AnonyClass, $$); }
  ;

_anonyclass
  : ClsAllocExpr OBR  { $$ = P.join({$1, $2}); P.structure(Hook::AnonymousHeader, $$); }
  ;

ClsAllocExpr
  : NEW _TName_type_safety OPR _ArgumentList CPR  { $$ = P.element("ClsAllocExpr", {$1, $2, $3, $4, $5}); }
  | NEW _TName_type_safety OPR CPR                { $$ = P.element("ClsAllocExpr", {$1, $2, $3, $4}); }
  ;

AryAllocExpr
  : NEW _TName_type_safety _DimExprs Dims  { $$ = P.element("AryAllocExpr", {$1, $2, $3, $4}); }
  | NEW _TName_type_safety _DimExprs       { $$ = P.element("AryAllocExpr", {$1, $2, $3}); }
  | NEW _TName_type_safety                 { $$ = P.element("AryAllocExpr", {$1, $2}); }
  ;

_DimExprs
  : DimExpr            { $$ = P.join({$1}); }
  | _DimExprs DimExpr  { $$ = P.join({$1, $2}); }
  ;

DimExpr
  : OSQ Expr CSQ  { $$ = P.element("DimExpr", {$1, $2, $3}); P.op("SQ"); }
  ;

Dims
  : DIM       { $$ = P.element("Dims", {$1}); }
  | Dims DIM  { $$ = P.element("Dims", {$1, $2}); }
  ;

_PostfixExpression
  : _PrimaryExpression  { $$ = P.join({$1}); }
  | RealPostfixExpr     { $$ = P.join({$1}); }
  ;

RealPostfixExpr
  : _PostfixExpression INC  { $$ = P.element("RealPostfixExpr", {$1, $2}); }
  | _PostfixExpression DEC  { $$ = P.element("RealPostfixExpr", {$1, $2}); }
  ;

_UnaryExpression
  : INC _UnaryExpression     { $$ = P.join({$1, $2}); }
  | DEC _UnaryExpression     { $$ = P.join({$1, $2}); }
  | UnaryOp _CastExpression  { $$ = P.join({$1, $2}); }
  | _LogicalUnaryExpression  { $$ = P.join({$1}); }
  ;

_LogicalUnaryExpression
  : _PostfixExpression           { $$ = P.join({$1}); }
  | LogUnaryOp _UnaryExpression  { $$ = P.join({$1, $2}); }
  ;

LogUnaryOp
  : TILD  { $$ = P.element("LogUnaryOp", {$1}); P.op("TILD"); }
  | EXCL  { $$ = P.element("LogUnaryOp", {$1}); P.op("EXCL"); }
  ;

UnaryOp
  : ADD  { $$ = P.element("UnaryOp", {$1}); P.op("ADD"); }
  | SUB  { $$ = P.element("UnaryOp", {$1}); P.op("SUB"); }
  ;

_CastExpression
  : _UnaryExpression                                  { $$ = P.join({$1}); }
  | OPR _PrimitiveTypeExpression CPR _CastExpression  { $$ = P.join({$1, $2, $3, $4}); P.op("CAST"); }
  | OPR ClsTypeExpr CPR _CastExpression               { $$ = P.join({$1, $2, $3, $4}); P.op("CAST"); }
  | OPR Expr CPR _LogicalUnaryExpression              { $$ = P.join({$1, $2, $3, $4}); P.op("CAST"); }
  | CASTEXPR _CastExpression                          { $$ = P.join({$1, $2}); P.op("CAST"); }
  ;

_PrimitiveTypeExpression
  : PrimType       { $$ = P.join({$1}); }
  | PrimType Dims  { $$ = P.join({$1, $2}); }
  ;

ClsTypeExpr
  : Qlid  { $$ = P.element("ClsTypeExpr", {$1}); }
  ;

_MultiplicativeExpression
  : _CastExpression                                { $$ = P.join({$1}); }
  | _MultiplicativeExpression MUL _CastExpression  { $$ = P.join({$1, $2, $3}); P.op("MUL"); }
  | _MultiplicativeExpression DIV _CastExpression  { $$ = P.join({$1, $2, $3}); P.op("DIV"); }
  | _MultiplicativeExpression PC _CastExpression   { $$ = P.join({$1, $2, $3}); P.op("PER"); }
  ;

_AdditiveExpression
  : _MultiplicativeExpression                          { $$ = P.join({$1}); }
  | _AdditiveExpression ADD _MultiplicativeExpression  { $$ = P.join({$1, $2, $3}); P.op("ADD"); }
  | _AdditiveExpression SUB _MultiplicativeExpression  { $$ = P.join({$1, $2, $3}); P.op("SUB"); }
  ;

_RelationalExpression
  : _AdditiveExpression                              { $$ = P.join({$1}); }
  | _RelationalExpression LT _AdditiveExpression     { $$ = P.join({$1, $2, $3}); P.op("LT"); }
  | _RelationalExpression GT _AdditiveExpression     { $$ = P.join({$1, $2, $3}); P.op("GT"); }
  | _RelationalExpression LE _AdditiveExpression     { $$ = P.join({$1, $2, $3}); }
  | _RelationalExpression GE _AdditiveExpression     { $$ = P.join({$1, $2, $3}); }
  | _RelationalExpression INSTANCEOF TypeSpec        { $$ = P.join({$1, $2, $3}); }
  | _RelationalExpression SHL _AdditiveExpression    { $$ = P.join({$1, $2, $3}); }
  | _RelationalExpression GT GT _AdditiveExpression  { $$ = P.join({$1, $2, $3, $4}); P.op("SHRR"); }
  | _RelationalExpression SHRR _AdditiveExpression   { $$ = P.join({$1, $2, $3}); }
  ;

_EqualityExpression
  : _RelationalExpression                           { $$ = P.join({$1}); }
  | _EqualityExpression EQEQ _RelationalExpression  { $$ = P.join({$1, $2, $3}); }
  | _EqualityExpression NE _RelationalExpression    { $$ = P.join({$1, $2, $3}); }
  ;

_AndExpression
  : _EqualityExpression                     { $$ = P.join({$1}); }
  | _AndExpression AMP _EqualityExpression  { $$ = P.join({$1, $2, $3}); P.op("AMP"); }
  ;

_ExclusiveOrExpression
  : _AndExpression                               { $$ = P.join({$1}); }
  | _ExclusiveOrExpression CARET _AndExpression  { $$ = P.join({$1, $2, $3}); P.op("CAR"); }
  ;

_InclusiveOrExpression
  : _ExclusiveOrExpression                              { $$ = P.join({$1}); }
  | _InclusiveOrExpression PIPE _ExclusiveOrExpression  { $$ = P.join({$1, $2, $3}); P.op("OR"); }
  ;

_ConditionalAndExpression
  : _InclusiveOrExpression                                 { $$ = P.join({$1}); }
  | _ConditionalAndExpression LAND _InclusiveOrExpression  { $$ = P.join({$1, $2, $3}); }
  ;

_ConditionalOrExpression
  : _ConditionalAndExpression                               { $$ = P.join({$1}); }
  | _ConditionalOrExpression LOR _ConditionalAndExpression  { $$ = P.join({$1, $2, $3}); }
  ;

_ConditionalExpression
  : _ConditionalOrExpression                      { $$ = P.join({$1}); }
  | _ConditionalOrExpression QUEST Expr COL Expr  { $$ = P.join({$1, $2, $3, $4, $5}); P.op("QUEST"); P.decision(); }
  ;

_AssignmentExpression
  : _ConditionalExpression                         { $$ = P.join({$1}); }
  | _UnaryExpression AsstOp _AssignmentExpression  { $$ = P.join({$1, $2, $3}); }
  ;

AsstOp
  : EQ       { $$ = P.element("AsstOp", {$1}); P.op("EQ"); }
  | ASSMUL   { $$ = P.element("AsstOp", {$1}); }
  | ASSDIV   { $$ = P.element("AsstOp", {$1}); }
  | ASSMOD   { $$ = P.element("AsstOp", {$1}); }
  | ASSADD   { $$ = P.element("AsstOp", {$1}); }
  | ASSSUB   { $$ = P.element("AsstOp", {$1}); }
  | ASSSHL   { $$ = P.element("AsstOp", {$1}); }
  | ASSSHR   { $$ = P.element("AsstOp", {$1}); }
  | ASSSHRR  { $$ = P.element("AsstOp", {$1}); }
  | ASSAND   { $$ = P.element("AsstOp", {$1}); }
  | ASSXOR   { $$ = P.element("AsstOp", {$1}); }
  | ASSOR    { $$ = P.element("AsstOp", {$1}); }
  ;

Expr
  : _AssignmentExpression  { $$ = P.element("Expr", {$1}); }
  ;

_ConstantExpression
  : _ConditionalExpression  { $$ = P.join({$1}); }
  ;

TypeSpec
  : _TName_type_safety       { $$ = P.element("TypeSpec", {$1}); }
  | _TName_type_safety Dims  { $$ = P.element("TypeSpec", {$1, $2}); }
  ;

_TName_type_safety
  : TName _opt_type_safety  { $$ = P.join({$1, $2}); }
  | QUEST EXTENDS TName     { $$ = P.join({$1, $2, $3}); }
  | IDEN EXTENDS TName      { $$ = P.join({$1, $2, $3}); }
  | QUEST                   { $$ = P.join({$1}); }
  | _opt_type_safety TName  { $$ = P.join({$1, $2}); }
  ;

_opt_type_safety
  : %empty                         { $$ = {}; }
  | LT _TName_type_safety_list GT  { $$ = P.join({$1, $2, $3}); P.op("TEMPLATE"); }
  ;

_TName_type_safety_list
  : %empty                                          { $$ = {}; }
  | _TName_type_safety                              { $$ = P.join({$1}); }
  | _TName_type_safety CMA _TName_type_safety_list  { $$ = P.join({$1, $2, $3}); }
  ;

%%

namespace java {

int parseTokens(ParseContext& context) { return java_yyparse(context); }
int parseTokensStackLimit() { return YYMAXDEPTH; }

}  // namespace java
