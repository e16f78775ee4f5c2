#!/usr/bin/env python3
"""Invariant checks of one accepted Java parse (mode 7).

Usage: bench/corpus_check.py [--level N] SOURCE TREE [COMMENTS [RESULTS]]
Exit 0 when every check passes, 1 with the first violation of each check.

Checks, from the source bytes and the files the engine wrote:
  tree     the tree file is one zlib stream of the XML declaration line and
           the tree text; the text is exactly the layout the tree writer
           produces (open tag and line feed, close tag and line feed, token
           element <NAME l="N" c="N" t="..."/>), properly nested, rooted at
           Program, every element name is a grammar element or token name,
           no nonterminal is empty, and the names of each element's
           children are what one of its rules yields once the transparent
           (underscore) nonterminals are expanded; and an XML parser
           accepts it.
  tokens   the token elements, in document order, are the tokens that an
           independent scanner written here from the lexical rules finds in
           the source: same name, same text (compared escaped, byte for
           byte), same l and same c, with the column quirks (comments and
           skipped bytes do not move the column, a tab counts one, line
           feeds inside literals and comments do not reset it).
  physical l is the line, counted in the raw bytes, on which the token's
           text ends; c is the token's byte offset from the start of its
           line plus one wherever the line before the token holds only
           blanks, tabs and other tokens (no form feed, carriage return,
           comment or skipped byte, and the line does not begin inside a
           multi-line token or comment; a tab is one byte and one column).
           This needs no column rules at all.
  comments the comments file (when given) is, byte for byte, the
           declaration, <preprocessor>, one <cmt l= t=> per line of every
           comment in order with its escaped text, and </preprocessor>,
           with their line ends; and an XML parser accepts it.
  results  an XML parser accepts the results file (when given); its
           measures are not checked.

At a modern level (6 and above) the grammar is the Java 5 grammar with the
additions of the modern one (MODERN_GRAMMAR below), and the reference
scanner also reads arrows, method-reference colons, text blocks, newer
number forms, UTF-8 letters in names and the longer generic casts; a
contextual keyword (RECORD, YIELD, ...) in the tree matches a name of the
same text, and NONSEALED the three tokens non - sealed.

Not checked: that the tree is the one tree the LALR(1) parser builds
(children are checked against the rules, not against the conflict
resolution: which "if" an "else" joins, how the expression ladder was
reduced); the metrics in the results file; the parse with the enum switch
off.  The reference scanner is written from the same lexical rules as the
engine's, so a rule both read the same wrong way goes unnoticed except where
the raw-byte line and column check reaches.  A zero byte ends a character or
string literal attempt (the opening quote is then skipped), as in the engine;
at a modern level a literal holds it (javac reads it as U+0000), and the tree
writes it and the other bytes XML cannot hold (control characters but tab,
line feed and carriage return) as octal escapes, \\000.  A comment's zero
bytes are left out of the comments file.
"""

import re
import sys
import xml.parsers.expat
import zlib

DECLARATION = b'<?xml version="1.0" encoding="ISO-8859-1"?>\n'

# Token names, in the grammar's declaration order.
TOKEN_NAMES = """ABSTRACT BOOLEAN BREAK BYTE CASE CATCH CHAR CLASS CONST CONTINUE
DEFAULT DO DOUBLE ELSE EXTENDS FINAL FINALLY FLOAT FOR GOTO IF IMPLEMENTS IMPORT
INSTANCEOF INT INTERFACE LONG NATIVE NEW JNULL PACKAGE PRIVATE PROTECTED PUBLIC
RETURN SHORT STATIC SUPER SWITCH SYNCHRONIZED THIS THROW THROWS TRANSIENT TRY
VOID VOLATILE WHILE INC DEC SHL SHR SHRR GE LE EQEQ NE LAND LOR DIM ASSMUL
ASSDIV ASSMOD ASSADD ASSSUB ASSSHL ASSSHR ASSSHRR ASSAND ASSXOR ASSOR IDEN
NUMLIT CHRLIT STRLIT BOOLLIT DOTSTAR ASSERT STRICTFP ENUM ELL AT_SYM CASTEXPR
AT_INTERFACE EXCL HASH DOLLAR PC AMP OPR CPR MUL ADD SUB CMA DOT DIV COL SEMI
LT GT EQ QUEST OSQ CSQ RDIV OBR CBR PIPE TILD CARET""".split()

# Nonterminals that become elements (every grammar symbol without a
# leading underscore).
ELEMENT_NAMES = """TName PrimType Program PkgStmt ImpStmt Qlid TypeDecln EnumDecln
EnumHeader ClsHeader Modifier Infaces FldDecln AnnotDecln AnnTypeBody
AnnElemtDecln AnnotType FldVarDecln VarDeclr VarInit MtdDecln MtdDeclr Param
Throws MtdBody CtorDecln CtorDeclr StaticInit NonStaticInit Extends Blk
LocVarDecln Stmt assertStmt EmptyStmt LblStmt ExprStmt SelStmt IterStmt
for_each_var ForInit ForExpr ForIncr JumpStmt GrdingStmt Catch CatchHeader
Finally AryAcc FldAcc MtdCall MtdAcc SplName NewAllocExpr AnonyClass
ClsAllocExpr AryAllocExpr DimExpr Dims RealPostfixExpr LogUnaryOp UnaryOp
ClsTypeExpr AsstOp Expr TypeSpec""".split()

TOKEN_SET = frozenset(TOKEN_NAMES)
ELEMENT_SET = frozenset(ELEMENT_NAMES)
assert len(TOKEN_SET) == 111 and len(ELEMENT_SET) == 66

# The modern grammar's tokens and elements.  Contextual keywords are names
# to the reference scanner; the tree's token of the same text matches.
CONTEXTUAL_TOKENS = {"RECORD": "record", "YIELD": "yield", "SEALED": "sealed", "PERMITS": "permits",
                     "WHEN": "when", "MODULE": "module", "OPEN": "open", "REQUIRES": "requires",
                     "TRANSITIVE": "transitive", "EXPORTS": "exports", "OPENS": "opens", "TO": "to",
                     "USES": "uses", "PROVIDES": "provides", "WITH": "with"}
MODERN_TOKEN_SET = TOKEN_SET | {"ARROW", "COLCOL", "TXTBLK", "NONSEALED"} | set(CONTEXTUAL_TOKENS)
MODERN_ELEMENT_SET = ELEMENT_SET | frozenset("""LambdaExpr MtdRef SwExpr SwBlk SwRule SwLabel Guard
TypePat RecPat RsrcSpec Rsrc RecDecln RecHeader Permits EnumCstBody YieldStmt ModDecln ModDirv""".split())

# The grammar: one line per nonterminal, alternatives in rule order.  Names
# with a leading underscore are transparent (their children stand in the
# enclosing element); every other nonterminal is an element.
GRAMMAR = """
TName: PrimType | PrimType Dims | Qlid
_ClassNameList: Qlid _opt_type_safety | _ClassNameList CMA Qlid _opt_type_safety
PrimType: BOOLEAN | CHAR | BYTE | SHORT | INT | LONG | FLOAT | DOUBLE | VOID
_SemiColons: SEMI | _SemiColons SEMI
Program: _ProgramFile
_ProgramFile: PkgStmt _ImportStatements _TypeDeclarations | PkgStmt _ImportStatements | PkgStmt _TypeDeclarations | _ImportStatements _TypeDeclarations | PkgStmt | _TypeDeclarations | MtdDecln
PkgStmt: PACKAGE Qlid _SemiColons
_TypeDeclarations: _TypeDeclarationOptSemi | _TypeDeclarationOptSemi _TypeDeclarations
_TypeDeclarationOptSemi: TypeDecln | AnnotDecln | TypeDecln _SemiColons
_ImportStatements: ImpStmt | ImpStmt _ImportStatements
ImpStmt: IMPORT _optStatic Qlid _SemiColons | IMPORT _optStatic Qlid DOTSTAR _SemiColons
_optStatic: (empty) | STATIC
Qlid: IDEN | IDEN Dims | IDEN DOT Qlid | IDEN DOT CLASS | THIS DOT Qlid | SUPER DOT Qlid | JNULL DOT Qlid | Qlid DOT IDEN | IDEN DOT CLASS Dims | Qlid DOT CLASS | IDEN DOT THIS | THIS DOT _PlainAlloc | IDEN DOT _PlainAlloc
TypeDecln: ClsHeader OBR _FieldDeclarations CBR | ClsHeader OBR CBR | EnumDecln
EnumDecln: EnumHeader _EnumBody
EnumHeader: _opt_Modifier ENUM IDEN
_EnumBody: OBR _EnumMemDeclns CBR | OBR CBR
_EnumMemDeclns: _Expr_list SEMI _FieldDeclarations | _Expr_list _opt_semi
_Expr_list: Expr _opt_cma | Expr CMA _Expr_list
_opt_cma: (empty) | CMA
_opt_semi: (empty) | SEMI
ClsHeader: _Modifiers _ClassWord IDEN _opt_type_safety Extends Infaces | _Modifiers _ClassWord IDEN _opt_type_safety Extends | _Modifiers _ClassWord IDEN _opt_type_safety Infaces | _ClassWord IDEN _opt_type_safety Extends Infaces | _Modifiers _ClassWord IDEN _opt_type_safety | _ClassWord IDEN _opt_type_safety Extends | _ClassWord IDEN _opt_type_safety Infaces | _ClassWord IDEN _opt_type_safety
_Modifiers: Modifier | Modifier _Modifiers
Modifier: ABSTRACT | FINAL | PUBLIC | PROTECTED | PRIVATE | STATIC | TRANSIENT | VOLATILE | NATIVE | SYNCHRONIZED | STRICTFP
_ClassWord: CLASS | INTERFACE
Infaces: IMPLEMENTS _ClassNameList
_FieldDeclarations: _FieldDeclarationOptSemi | _FieldDeclarationOptSemi _FieldDeclarations
_FieldDeclarationOptSemi: FldDecln | FldDecln _SemiColons
FldDecln: FldVarDecln SEMI | MtdDecln | CtorDecln | StaticInit | NonStaticInit | TypeDecln | AnnotDecln | AnnotType
AnnotDecln: _opt_Modifier AT_INTERFACE IDEN AnnTypeBody | _AnnotTypeList _opt_Modifier AT_INTERFACE IDEN AnnTypeBody
_opt_Modifier: (empty) | _Modifiers
AnnTypeBody: OBR _AnnTypeElementDeclns CBR | OBR CBR
_ExprStmt_list: ExprStmt | OBR ExprStmt CBR | ExprStmt CMA _ExprStmt_list | OBR ExprStmt CMA _ExprStmt_list CBR | AnnotType | OBR AnnotType CBR | AnnotType CMA _ExprStmt_list | OBR AnnotType CMA _ExprStmt_list CBR
_AnnTypeElementDeclns: AnnElemtDecln | AnnElemtDecln _AnnTypeElementDeclns
_opt_default_value: (empty) | DEFAULT Expr SEMI | DEFAULT OPR CPR | DEFAULT OPR CPR SEMI | DEFAULT OBR CBR SEMI | DEFAULT OBR CBR | SEMI
AnnElemtDecln: _opt_Modifier TypeSpec IDEN _paran_const _opt_default_value | _opt_Modifier TypeSpec DIM IDEN _paran_const _opt_default_value | TypeDecln | AnnotDecln
_paran_const: OPR CPR | EQ VarInit
_AnnotTypeList: (empty) | AnnotType _AnnotTypeList
AnnotType: AT_SYM IDEN | AT_SYM IDEN OPR _ExprStmt_list CPR
FldVarDecln: _Modifiers TypeSpec _VariableDeclarators | TypeSpec _VariableDeclarators
_VariableDeclarators: VarDeclr | VarDeclr CMA _VariableDeclarators
VarDeclr: _DeclaratorName | _DeclaratorName EQ VarInit
VarInit: Expr | OBR CBR | OBR _ArrayInitializers CBR
_ArrayInitializers: VarInit | _ArrayInitializers CMA VarInit | _ArrayInitializers CMA
MtdDecln: _mtddeclr MtdBody
_mtddeclr: _Modifiers TypeSpec MtdDeclr Throws | _Modifiers TypeSpec MtdDeclr | TypeSpec MtdDeclr Throws | TypeSpec MtdDeclr
MtdDeclr: _DeclaratorName OPR _ParameterList CPR | _DeclaratorName OPR CPR | MtdDeclr DIM
_ParameterList: Param | _ParameterList CMA Param
Param: TypeSpec _opt_3dots _DeclaratorName | FINAL TypeSpec _DeclaratorName
_opt_3dots: (empty) | ELL
_DeclaratorName: IDEN | _DeclaratorName DIM
Throws: THROWS _ClassNameList
MtdBody: Blk | SEMI
CtorDecln: _ctordeclr Blk
_ctordeclr: _Modifiers CtorDeclr Throws | _Modifiers CtorDeclr | CtorDeclr Throws | CtorDeclr
CtorDeclr: IDEN OPR _ParameterList CPR | IDEN OPR CPR
StaticInit: STATIC Blk
NonStaticInit: Blk
Extends: EXTENDS _TName_type_safety | Extends CMA _TName_type_safety
Blk: OBR _LocalVariableDeclarationsAndStatements CBR | OBR CBR
_LocalVariableDeclarationsAndStatements: _LocalVariableDeclarationOrStatement | _LocalVariableDeclarationOrStatement _LocalVariableDeclarationsAndStatements
_LocalVariableDeclarationOrStatement: LocVarDecln | Stmt
LocVarDecln: TypeSpec _VariableDeclarators SEMI | FINAL TypeSpec _VariableDeclarators SEMI
Stmt: EmptyStmt | LblStmt | ExprStmt SEMI | SelStmt | IterStmt | JumpStmt | assertStmt SEMI | GrdingStmt | Blk | TypeDecln
assertStmt: ASSERT _expr_col_expr
_expr_col_expr: ExprStmt | ExprStmt COL ExprStmt
EmptyStmt: SEMI
LblStmt: IDEN COL | CASE _ConstantExpression COL | DEFAULT COL
ExprStmt: Expr
SelStmt: IF OPR Expr CPR Stmt | IF OPR Expr CPR Stmt ELSE Stmt | SWITCH OPR Expr CPR Blk
IterStmt: WHILE OPR Expr CPR Stmt | DO Stmt WHILE OPR Expr CPR SEMI | FOR OPR ForInit ForExpr ForIncr CPR Stmt | FOR OPR ForInit ForExpr CPR Stmt | FOR OPR for_each_var CPR Stmt
for_each_var: TypeSpec _DeclaratorName COL Expr
ForInit: _ExpressionStatements SEMI | LocVarDecln | SEMI
ForExpr: Expr SEMI | SEMI
ForIncr: _ExpressionStatements
_ExpressionStatements: ExprStmt | _ExpressionStatements CMA ExprStmt
JumpStmt: BREAK IDEN SEMI | BREAK SEMI | CONTINUE IDEN SEMI | CONTINUE SEMI | RETURN Expr SEMI | RETURN SEMI | THROW Expr SEMI
GrdingStmt: SYNCHRONIZED OPR Expr CPR Stmt | TRY Blk Finally | TRY Blk _Catches | TRY Blk _Catches Finally
_Catches: Catch | _Catches Catch
Catch: CatchHeader Blk
CatchHeader: CATCH OPR FINAL TypeSpec IDEN CPR | CATCH OPR TypeSpec IDEN CPR | CATCH OPR TypeSpec CPR
Finally: FINALLY Blk
_PrimaryExpression: Qlid | _NotJustName
_NotJustName: SplName | NewAllocExpr | _ComplexPrimary
_ComplexPrimary: OPR Expr CPR | _ComplexPrimaryNoParenthesis
_ComplexPrimaryNoParenthesis: CHRLIT | NUMLIT | STRLIT | BOOLLIT | AryAcc | FldAcc | MtdCall
AryAcc: Qlid OSQ Expr CSQ | _ComplexPrimary OSQ Expr CSQ
FldAcc: _NotJustName DOT IDEN | _NotJustName DOT ClsAllocExpr | RealPostfixExpr DOT IDEN | Qlid DOT CLASS | PrimType DOT CLASS | PrimType Dims DOT CLASS
MtdCall: MtdAcc OPR _ArgumentList CPR | MtdAcc OPR CPR
MtdAcc: _ComplexPrimaryNoParenthesis | SplName | Qlid
SplName: THIS | SUPER | JNULL
_ArgumentList: Expr | _ArgumentList CMA Expr
NewAllocExpr: _PlainNewAllocationExpression | Qlid DOT _PlainNewAllocationExpression
_PlainNewAllocationExpression: _PlainAlloc | AnonyClass
_PlainAlloc: AryAllocExpr | ClsAllocExpr | AryAllocExpr OBR CBR | ClsAllocExpr OBR CBR | AryAllocExpr OBR _ArrayInitializers CBR
AnonyClass: _anonyclass _FieldDeclarations CBR
_anonyclass: ClsAllocExpr OBR
ClsAllocExpr: NEW _TName_type_safety OPR _ArgumentList CPR | NEW _TName_type_safety OPR CPR
AryAllocExpr: NEW _TName_type_safety _DimExprs Dims | NEW _TName_type_safety _DimExprs | NEW _TName_type_safety
_DimExprs: DimExpr | _DimExprs DimExpr
DimExpr: OSQ Expr CSQ
Dims: DIM | Dims DIM
_PostfixExpression: _PrimaryExpression | RealPostfixExpr
RealPostfixExpr: _PostfixExpression INC | _PostfixExpression DEC
_UnaryExpression: INC _UnaryExpression | DEC _UnaryExpression | UnaryOp _CastExpression | _LogicalUnaryExpression
_LogicalUnaryExpression: _PostfixExpression | LogUnaryOp _UnaryExpression
LogUnaryOp: TILD | EXCL
UnaryOp: ADD | SUB
_CastExpression: _UnaryExpression | OPR _PrimitiveTypeExpression CPR _CastExpression | OPR ClsTypeExpr CPR _CastExpression | OPR Expr CPR _LogicalUnaryExpression | CASTEXPR _CastExpression
_PrimitiveTypeExpression: PrimType | PrimType Dims
ClsTypeExpr: Qlid
_MultiplicativeExpression: _CastExpression | _MultiplicativeExpression MUL _CastExpression | _MultiplicativeExpression DIV _CastExpression | _MultiplicativeExpression PC _CastExpression
_AdditiveExpression: _MultiplicativeExpression | _AdditiveExpression ADD _MultiplicativeExpression | _AdditiveExpression SUB _MultiplicativeExpression
_RelationalExpression: _AdditiveExpression | _RelationalExpression LT _AdditiveExpression | _RelationalExpression GT _AdditiveExpression | _RelationalExpression LE _AdditiveExpression | _RelationalExpression GE _AdditiveExpression | _RelationalExpression INSTANCEOF TypeSpec | _RelationalExpression SHL _AdditiveExpression | _RelationalExpression GT GT _AdditiveExpression | _RelationalExpression SHRR _AdditiveExpression
_EqualityExpression: _RelationalExpression | _EqualityExpression EQEQ _RelationalExpression | _EqualityExpression NE _RelationalExpression
_AndExpression: _EqualityExpression | _AndExpression AMP _EqualityExpression
_ExclusiveOrExpression: _AndExpression | _ExclusiveOrExpression CARET _AndExpression
_InclusiveOrExpression: _ExclusiveOrExpression | _InclusiveOrExpression PIPE _ExclusiveOrExpression
_ConditionalAndExpression: _InclusiveOrExpression | _ConditionalAndExpression LAND _InclusiveOrExpression
_ConditionalOrExpression: _ConditionalAndExpression | _ConditionalOrExpression LOR _ConditionalAndExpression
_ConditionalExpression: _ConditionalOrExpression | _ConditionalOrExpression QUEST Expr COL Expr
_AssignmentExpression: _ConditionalExpression | _UnaryExpression AsstOp _AssignmentExpression
AsstOp: EQ | ASSMUL | ASSDIV | ASSMOD | ASSADD | ASSSUB | ASSSHL | ASSSHR | ASSSHRR | ASSAND | ASSXOR | ASSOR
Expr: _AssignmentExpression
_ConstantExpression: _ConditionalExpression
TypeSpec: _TName_type_safety | _TName_type_safety Dims
_TName_type_safety: TName _opt_type_safety | QUEST EXTENDS TName | IDEN EXTENDS TName | QUEST | _opt_type_safety TName
_opt_type_safety: (empty) | LT _TName_type_safety_list GT
_TName_type_safety_list: (empty) | _TName_type_safety | _TName_type_safety CMA _TName_type_safety_list
"""


# What the modern grammar adds, as the trees show it: new alternatives of
# old symbols and the new symbols, in the same notation (the tree of a
# construct the grammar's actions assemble, such as a type pattern read
# as a name first, is given as the tree shows it).
MODERN_GRAMMAR = """
_ProgramFile: (empty) | _ImportStatements | _AnnotTypeList PkgStmt | _AnnotTypeList PkgStmt _ImportStatements | _AnnotTypeList PkgStmt _TypeDeclarations | _AnnotTypeList PkgStmt _ImportStatements _TypeDeclarations | _AnnotTypeList ModDecln | _ImportStatements _AnnotTypeList ModDecln
_ProgramFile: _CompactMembers | _ImportStatements _CompactMembers | _SemiColons _TypeDeclarations
_CompactMembers: FldDecln | _CompactMembers FldDecln
_TypeDeclarationOptSemi: _AnnotTypeList TypeDecln | _AnnotTypeList TypeDecln _SemiColons
ImpStmt: IMPORT MODULE Qlid _SemiColons
ModDecln: MODULE Qlid OBR _ModDirvs CBR | MODULE Qlid OBR CBR | OPEN MODULE Qlid OBR _ModDirvs CBR | OPEN MODULE Qlid OBR CBR
_ModDirvs: ModDirv | _ModDirvs ModDirv
ModDirv: REQUIRES Qlid SEMI | REQUIRES _RequiresMods Qlid SEMI | EXPORTS Qlid SEMI | EXPORTS Qlid TO _QlidList SEMI | OPENS Qlid SEMI | OPENS Qlid TO _QlidList SEMI | USES Qlid SEMI | PROVIDES Qlid WITH _QlidList SEMI
_RequiresMods: TRANSITIVE | STATIC | TRANSITIVE STATIC | STATIC TRANSITIVE
_QlidList: Qlid | _QlidList CMA Qlid
TypeDecln: RecDecln
RecDecln: RecHeader OBR _FieldDeclarations CBR | RecHeader OBR CBR
RecHeader: _opt_Modifier RECORD IDEN _opt_type_safety OPR _ParameterList CPR | _opt_Modifier RECORD IDEN _opt_type_safety OPR CPR | _opt_Modifier RECORD IDEN _opt_type_safety OPR _ParameterList CPR Infaces | _opt_Modifier RECORD IDEN _opt_type_safety OPR CPR Infaces
ClsHeader: _Modifiers _ClassWord IDEN _opt_type_safety _HeaderClauses Permits | _ClassWord IDEN _opt_type_safety _HeaderClauses Permits
_HeaderClauses: (empty) | Extends | Infaces | Extends Infaces
Permits: PERMITS _ClassNameList
EnumHeader: _opt_Modifier ENUM IDEN Infaces
_EnumMemDeclns: SEMI _FieldDeclarations | SEMI
_Expr_list: AnnotType _Expr_list | Expr EnumCstBody _opt_cma | Expr EnumCstBody CMA _Expr_list
EnumCstBody: OBR _FieldDeclarations CBR | OBR CBR
Modifier: DEFAULT | SEALED | NONSEALED
_Modifiers: Modifier _ModAnnots | Modifier _ModAnnots _Modifiers
_ModAnnots: AnnotType | AnnotType _ModAnnots
_VarMods: _ModAnnots | FINAL _ModAnnots | _ModAnnots FINAL | _ModAnnots FINAL _ModAnnots
AnnotType: AT_SYM IDEN OPR CPR | AT_SYM _DottedName | AT_SYM _DottedName OPR CPR | AT_SYM _DottedName OPR _ExprStmt_list CPR
_DottedName: IDEN DOT IDEN | _DottedName DOT IDEN
_ExprStmt_list: OBR CBR | ExprStmt CMA | AnnotType CMA | OBR ExprStmt CMA CBR | OBR AnnotType CMA CBR
AnnElemtDecln: _AnnotTypeList _opt_Modifier TypeSpec IDEN _paran_const _opt_default_value | _AnnotTypeList _opt_Modifier TypeSpec _VariableDeclarators SEMI | _AnnotTypeList TypeDecln
_opt_default_value: DEFAULT OBR _ArrayInitializers CBR SEMI | DEFAULT OBR _ArrayInitializers CBR | DEFAULT AnnotType SEMI | DEFAULT AnnotType
VarInit: AnnotType
_TName_type_safety: QUEST EXTENDS TName _opt_type_safety | QUEST SUPER TName _opt_type_safety | IDEN EXTENDS TName _opt_type_safety | IDEN EXTENDS TName _opt_type_safety _Bounds | _opt_type_safety TName _opt_type_safety | TName _opt_type_safety DOT TName _opt_type_safety | IDEN EXTENDS TName _opt_type_safety DOT TName _opt_type_safety | TName LT _TName_type_safety_list GT Dims
_TName_type_safety_list: _ModAnnots _TName_type_safety | _ModAnnots _TName_type_safety CMA _TName_type_safety_list
_Bounds: AMP TName _opt_type_safety | _Bounds AMP TName _opt_type_safety
_opt_type_safety: LT _TArgsToShrr
_TArgsToShrr: _TArgToShrr2 | _TName_type_safety CMA _TArgsToShrr
_TArgToShrr2: TName LT _TArgsToShrr1 | QUEST EXTENDS TName LT _TArgsToShrr1 | QUEST SUPER TName LT _TArgsToShrr1 | IDEN EXTENDS TName LT _TArgsToShrr1
_TArgsToShrr1: _TArgToShrr1 | _TName_type_safety CMA _TArgsToShrr1
_TArgToShrr1: TName LT _TName_type_safety_list SHRR | QUEST EXTENDS TName LT _TName_type_safety_list SHRR | QUEST SUPER TName LT _TName_type_safety_list SHRR | IDEN EXTENDS TName LT _TName_type_safety_list SHRR
_CallTypeArgs: LT _TName_type_safety_list GT
_ctordeclr: _Modifiers _opt_type_safety CtorDeclr Throws | _Modifiers _opt_type_safety CtorDeclr | _opt_type_safety CtorDeclr Throws | _opt_type_safety CtorDeclr
CtorDeclr: IDEN
Param: _VarMods TypeSpec _opt_3dots _DeclaratorName | FINAL TypeSpec ELL _DeclaratorName | TypeSpec THIS | TypeSpec _opt_3dots _DeclaratorName DOT THIS
Stmt: YieldStmt | _ModAnnots TypeDecln
YieldStmt: YIELD Expr SEMI
LocVarDecln: _VarMods TypeSpec _VariableDeclarators SEMI
for_each_var: FINAL TypeSpec _DeclaratorName COL Expr | _VarMods TypeSpec _DeclaratorName COL Expr
GrdingStmt: TRY RsrcSpec Blk | TRY RsrcSpec Blk Finally | TRY RsrcSpec Blk _Catches | TRY RsrcSpec Blk _Catches Finally
RsrcSpec: OPR _Rsrcs CPR | OPR _Rsrcs SEMI CPR
_Rsrcs: Rsrc | _Rsrcs SEMI Rsrc
Rsrc: TypeSpec _DeclaratorName EQ Expr | FINAL TypeSpec _DeclaratorName EQ Expr | _VarMods TypeSpec _DeclaratorName EQ Expr | Expr
CatchHeader: CATCH OPR _CatchTypes IDEN CPR | CATCH OPR FINAL _CatchTypes IDEN CPR | CATCH OPR _VarMods TypeSpec IDEN CPR | CATCH OPR _VarMods _CatchTypes IDEN CPR
_CatchTypes: TypeSpec PIPE TypeSpec | _CatchTypes PIPE TypeSpec
SelStmt: SWITCH OPR Expr CPR SwBlk
SwBlk: OBR _SwRules CBR
_SwRules: SwRule | _SwRules SwRule
SwRule: SwLabel Stmt
SwLabel: CASE _CaseItems ARROW | CASE _CaseItems Guard ARROW | DEFAULT ARROW
LblStmt: CASE _CaseItems COL | CASE _CaseItems Guard COL
Guard: WHEN _ConditionalExpression
_CaseItems: _CaseItem | _CaseItems CMA _CaseItem
_CaseItem: _ConstantExpression | DEFAULT | TypePat | RecPat
TypePat: TypeSpec IDEN | FINAL TypeSpec IDEN | _ModAnnots TypeSpec IDEN
RecPat: TypeSpec OPR _PatList CPR | TypeSpec OPR CPR
_PatList: _Pat | _PatList CMA _Pat
_Pat: TypePat | RecPat | IDEN
_ComplexPrimaryNoParenthesis: TXTBLK
_PrimaryExpression: MtdRef
MtdRef: TypeSpec COLCOL IDEN | TypeSpec COLCOL NEW | Qlid COLCOL IDEN | Qlid COLCOL NEW | Qlid COLCOL _CallTypeArgs IDEN | _NotJustName COLCOL IDEN | _NotJustName COLCOL _CallTypeArgs IDEN | PrimType Dims COLCOL NEW
Qlid: IDEN DOT _CallTypeArgs IDEN | IDEN DOT SUPER | Qlid DOT SUPER | THIS DOT SUPER
MtdAcc: Qlid DOT _CallTypeArgs IDEN | THIS DOT _CallTypeArgs IDEN | SUPER DOT _CallTypeArgs IDEN | _NotJustName DOT _CallTypeArgs IDEN | _NotJustName DOT SUPER
_CastExpression: OPR TypeSpec CPR _CastExpression | OPR Expr CPR OPR _PrimitiveTypeExpression CPR _CastExpression | OPR Expr CPR OPR Expr CPR _LogicalUnaryExpression | OPR Expr CPR CASTEXPR _CastExpression | OPR Expr CPR LambdaExpr | CASTEXPR LambdaExpr
NewAllocExpr: SplName DOT AnonyClass
_LogicalUnaryExpression: SwExpr | LogUnaryOp _CastExpression
AryAllocExpr: NEW _TName_type_safety Dims
SwExpr: SWITCH OPR Expr CPR Blk | SWITCH OPR Expr CPR SwBlk
_RelationalExpression: _RelationalExpression INSTANCEOF TypePat | _RelationalExpression INSTANCEOF RecPat
_AssignmentExpression: LambdaExpr | _UnaryExpression AsstOp VarInit | _UnaryExpression AsstOp AnnotType
LambdaExpr: IDEN ARROW _LambdaBody | OPR CPR ARROW _LambdaBody | OPR _LambdaNames CPR ARROW _LambdaBody | OPR _ParameterList CPR ARROW _LambdaBody
_LambdaNames: IDEN | _LambdaNames CMA IDEN
_LambdaBody: Expr | Blk
TName: _ModAnnots PrimType | _ModAnnots PrimType Dims | _ModAnnots Qlid
Qlid: IDEN DOT _ModAnnots Qlid | THIS DOT _CallTypeArgs IDEN | SUPER DOT _CallTypeArgs IDEN
Dims: _ModAnnots DIM | Dims _ModAnnots DIM
_DeclaratorName: _DeclaratorName _ModAnnots DIM
DimExpr: _ModAnnots OSQ Expr CSQ
_opt_3dots: _ModAnnots ELL
Param: FINAL TypeSpec _ModAnnots ELL _DeclaratorName | _VarMods TypeSpec THIS | _VarMods TypeSpec _opt_3dots _DeclaratorName DOT THIS
_ClassNameList: _ModAnnots Qlid _opt_type_safety | _ClassNameList CMA _ModAnnots Qlid _opt_type_safety
_RelationalExpression: _RelationalExpression INSTANCEOF _ModAnnots TypeSpec
_CastExpression: OPR _CastTypes CPR _CastExpression | OPR _CastTypes CPR LambdaExpr
_CastTypes: TypeSpec | _CastTypes AMP TypeSpec
_CallTypeArgs: LT _TArgsToShrr
_TArgToShrr2: IDEN EXTENDS TName _opt_type_safety AMP TName LT _TArgsToShrr1 | IDEN EXTENDS TName _opt_type_safety _Bounds AMP TName LT _TArgsToShrr1
_TArgToShrr1: IDEN EXTENDS TName _opt_type_safety AMP TName LT _TName_type_safety_list SHRR | IDEN EXTENDS TName _opt_type_safety _Bounds AMP TName LT _TName_type_safety_list SHRR
MtdAcc: _CallTypeArgs SplName
MtdDeclr: MtdDeclr _ModAnnots DIM
MtdRef: PrimType Dims COLCOL IDEN | TypeSpec COLCOL _CallTypeArgs IDEN
VarInit: OBR CMA CBR
_PlainAlloc: AryAllocExpr OBR CMA CBR
_TName_type_safety: _MemberType | IDEN EXTENDS _MemberType | IDEN EXTENDS _MemberType _Bounds | IDEN EXTENDS TName _Bounds | QUEST EXTENDS _MemberType | QUEST SUPER _MemberType
_MemberType: TName _opt_type_safety DOT TName _opt_type_safety | _MemberType DOT TName _opt_type_safety
_Bounds: AMP _MemberType | _Bounds AMP _MemberType
_ClassNameList: _MemberClassName | _ClassNameList CMA _MemberClassName
_MemberClassName: Qlid _opt_type_safety DOT Qlid _opt_type_safety | Qlid _opt_type_safety DOT _ModAnnots Qlid _opt_type_safety | _ModAnnots Qlid _opt_type_safety DOT Qlid _opt_type_safety | _ModAnnots Qlid _opt_type_safety DOT _ModAnnots Qlid _opt_type_safety | _MemberClassName DOT Qlid _opt_type_safety | _MemberClassName DOT _ModAnnots Qlid _opt_type_safety
MtdRef: Qlid COLCOL _CallTypeArgs NEW | TypeSpec COLCOL _CallTypeArgs NEW
_CastExpression: OPR Expr CPR OPR Expr CPR LambdaExpr | OPR Expr CPR CASTEXPR LambdaExpr | OPR Expr CPR OPR _CastTypes CPR LambdaExpr
_CastExpression: OPR Expr CPR OPR _CastTypes CPR _CastExpression | OPR Expr CPR OPR Expr CPR OPR Expr CPR _LogicalUnaryExpression | OPR Expr CPR OPR Expr CPR OPR _PrimitiveTypeExpression CPR _CastExpression | OPR Expr CPR OPR Expr CPR CASTEXPR _CastExpression
AryAcc: NewAllocExpr OSQ Expr CSQ
TypePat: _VarMods TypeSpec IDEN
"""


def load_grammar(*texts):
    rules = {}
    for text in texts:
        for line in text.strip().splitlines():
            name, _, alternatives = line.partition(":")
            rules.setdefault(name.strip(), []).extend(
                tuple(s for s in alt.split() if s != "(empty)") for alt in alternatives.split("|"))
    return rules


RULES = load_grammar(GRAMMAR)
assert {n for n in RULES if not n.startswith("_")} == ELEMENT_SET
assert all(s in RULES or s in TOKEN_SET for alts in RULES.values() for alt in alts for s in alt)
MODERN_RULES = load_grammar(GRAMMAR, MODERN_GRAMMAR)
assert {n for n in MODERN_RULES if not n.startswith("_")} == MODERN_ELEMENT_SET
assert all(s in MODERN_RULES or s in MODERN_TOKEN_SET for alts in MODERN_RULES.values() for alt in alts for s in alt)


def nullable_names(RULES):
    nullable = set()
    changed = True
    while changed:
        changed = False
        for name, alts in RULES.items():
            if name not in nullable and name.startswith("_") and any(
                    all(s in nullable for s in alt) for alt in alts):
                nullable.add(name)
                changed = True
    return nullable


NULLABLE = nullable_names(RULES)
MODERN_NULLABLE = nullable_names(MODERN_RULES)


def derivable(top, children, RULES=RULES, NULLABLE=NULLABLE):
    """True when some rule of the element top, with the transparent
    nonterminals expanded, yields exactly the child names (elements and
    tokens count as symbols of their own).  An Earley recogniser."""
    n = len(children)
    sets = [set() for _ in range(n + 1)]
    waiting = [dict() for _ in range(n + 1)]  # symbol -> items expecting it

    def add(i, item, work):
        if item not in sets[i]:
            sets[i].add(item)
            if work is not None:
                work.append(item)

    for k in range(len(RULES[top])):
        add(0, (top, k, 0, 0), None)
    for i in range(n + 1):
        work = list(sets[i])
        while work:
            item = work.pop()
            lhs, k, dot, origin = item
            rhs = RULES[lhs][k]
            if dot < len(rhs):
                sym = rhs[dot]
                waiting[i].setdefault(sym, []).append(item)
                if sym.startswith("_"):
                    for k2 in range(len(RULES[sym])):
                        add(i, (sym, k2, 0, i), work)
                    if sym in NULLABLE:
                        add(i, (lhs, k, dot + 1, origin), work)
                elif i < n and children[i] == sym:
                    add(i + 1, (lhs, k, dot + 1, origin), None)
            elif lhs != top:
                for l2, k2, d2, o2 in list(waiting[origin].get(lhs, ())):
                    add(i, (l2, k2, d2 + 1, o2), work)
    return any(lhs == top and dot == len(RULES[top][k]) and origin == 0
               for lhs, k, dot, origin in sets[n])


DERIVABLE_CACHE = {}


def derivable_cached(top, children, modern=False):
    key = (top, children, modern)
    known = DERIVABLE_CACHE.get(key)
    if known is None:
        known = DERIVABLE_CACHE[key] = (derivable(top, children, MODERN_RULES, MODERN_NULLABLE) if modern
                                        else derivable(top, children))
    return known


# ---------------------------------------------------------------------------
# Reference scanner.  Works on the source decoded as Latin-1, so that one
# character is one byte.  At each position the longest match wins, and the
# rule listed first among equally long matches.

ID_START = "\x01A-Z_a-z\xa1\xa9\xbf-\xc5\xc7-\xcf\xd1-\xd6\xd9-\xdc\xdf-\xe5\xe7-\xef\xf1-\xf6\xf9-\xfd\xff"
ID_RE = re.compile("[%s][%s0-9$]*|\\$[%s0-9$]+" % (ID_START, ID_START, ID_START))
ID_START_CHARS = frozenset(c for c in map(chr, range(256)) if re.fullmatch("[%s]" % ID_START, c))

EXP = r"(?:[eE](?:[+-]?[0-9]+)?)"
NUMBER_RES = [re.compile(p) for p in (
    r"[1-9][0-9]*[lL]?",
    r"0[0-7]*[lL]?",
    r"0[xX][0-9a-fA-F]+[lL]?",
    r"[0-9]+\.[0-9]*" + EXP + r"?[fFdD]?",
    r"\.[0-9]+" + EXP + r"?[fFdD]?",
    r"[0-9]+" + EXP + r"[fFdD]?",
    r"[0-9]+[fFdD]",
)]
ESCAPE = r"\\(?:[btnfr\"'\\]|[0-3][0-7][0-7]|[0-7][0-7]|[0-7]|u+[0-9a-fA-F]{4})"
# A zero byte never becomes part of a literal: the tree is XML text.
CHAR_RE = re.compile(r"'(?:[^\\'\x00]|%s)'" % ESCAPE)
ESCAPE_RE = re.compile(ESCAPE)
STRING_RUN_RE = re.compile(r'[^"\\\x00]*')
CAST_ID = "(?:%s)" % ID_RE.pattern
CAST_RE = re.compile(r"\(%s< *%s *(?:, *%s *)*> *\)" % (CAST_ID, CAST_ID, CAST_ID))

# Modern levels: UTF-8 letters in names (seen here as Latin-1 characters),
# numbers with underscores, binary and hexadecimal floating-point numbers,
# text blocks and longer generic casts.
U8 = "(?:[\xc2-\xdf][\x80-\xbf]|[\xe0-\xef][\x80-\xbf]{2}|[\xf0-\xf4][\x80-\xbf]{3})"
MODERN_ID_RE = re.compile("(?:[%s]|%s)(?:[%s0-9$]|%s)*|\\$(?:[%s0-9$]|%s)+"
                          % (ID_START, U8, ID_START, U8, ID_START, U8))
DU, HU, BU = r"[0-9](?:[0-9_]*[0-9])?", r"[0-9a-fA-F](?:[0-9a-fA-F_]*[0-9a-fA-F])?", r"[01](?:[01_]*[01])?"
EXPU = r"(?:[eE][+-]?%s)" % DU
MODERN_NUMBER_RES = NUMBER_RES + [re.compile(p) for p in (
    r"%s[lL]?" % DU, r"0[xX]%s[lL]?" % HU, r"0[bB]%s[lL]?" % BU,
    r"%s\.(?:%s)?%s?[fFdD]?" % (DU, DU, EXPU),
    r"\.%s%s?[fFdD]?" % (DU, EXPU),
    r"%s%s[fFdD]?" % (DU, EXPU),
    r"%s[fFdD]" % DU,
    r"0[xX](?:%s\.?|(?:%s)?\.%s)[pP][+-]?%s[fFdD]?" % (HU, HU, HU, DU),
)]
TEXT_BLOCK_RE = re.compile(r'"""[ \t\f]*(?:\r\n|\r|\n)(?:"?"?(?:[^"\\]|\\[^\x00]))*"""')
CB = r"[ \t\r\n]*"
CNAME = r"(?:%s(?:%s\.%s%s)*)" % (CAST_ID, CB, CB, CAST_ID)
CDIMS = r"(?:%s\[%s\])*" % (CB, CB)
CTYPE0 = r"(?:%s%s)" % (CNAME, CDIMS)
CARG0 = r"(?:\?|\?%s(?:extends|super)%s%s|%s)" % (CB, CB, CTYPE0, CTYPE0)
CTYPE1 = r"(?:%s(?:%s<%s%s(?:%s,%s%s)*%s>)?%s)" % (CNAME, CB, CB, CARG0, CB, CB, CARG0, CB, CDIMS)
CARG1 = r"(?:\?|\?%s(?:extends|super)%s%s|%s)" % (CB, CB, CTYPE1, CTYPE1)
CGEN = r"(?:%s%s<%s%s(?:%s,%s%s)*%s>%s)" % (CNAME, CB, CB, CARG1, CB, CB, CARG1, CB, CDIMS)
MODERN_CAST_RE = re.compile(r"\(%s%s(?:%s&%s(?:%s|%s))*%s\)" % (CB, CGEN, CB, CB, CGEN, CTYPE0, CB))
DIM_RE = re.compile(r"\[[ \t\b\f\r\n]*\]")

KEYWORDS = {w: w.upper() for w in """abstract do implements package throw boolean
double import private throws break else protected transient byte extends
instanceof public try case final int finally interface return void catch float
long short volatile char for native static while class new super const switch
continue goto synchronized default if this assert strictfp""".split()}
KEYWORDS["null"] = "JNULL"
KEYWORDS["true"] = "BOOLLIT"
KEYWORDS["false"] = "BOOLLIT"

# Operators by first byte, longest first.
OPERATORS = {
    "=": [("==", "EQEQ"), ("=", "EQ")],
    "<": [("<<=", "ASSSHL"), ("<<", "SHL"), ("<=", "LE"), ("<", "LT")],
    ">": [(">>>=", "ASSSHRR"), (">>>", "SHRR"), (">>=", "ASSSHR"), (">=", "GE"), (">", "GT")],
    "!": [("!=", "NE"), ("!", "EXCL")],
    "|": [("||", "LOR"), ("|=", "ASSOR"), ("|", "PIPE")],
    "&": [("&&", "LAND"), ("&=", "ASSAND"), ("&", "AMP")],
    "+": [("++", "INC"), ("+=", "ASSADD"), ("+", "ADD")],
    "-": [("--", "DEC"), ("-=", "ASSSUB"), ("-", "SUB")],
    "*": [("*=", "ASSMUL"), ("*", "MUL")],
    "/": [("/=", "ASSDIV"), ("/", "DIV")],
    "^": [("^=", "ASSXOR"), ("^", "CARET")],
    "%": [("%=", "ASSMOD"), ("%", "PC")],
    "#": [("#", "HASH")], ")": [(")", "CPR")], ",": [(",", "CMA")],
    ":": [(":", "COL")], ";": [(";", "SEMI")], "?": [("?", "QUEST")],
    "]": [("]", "CSQ")], "\\": [("\\", "RDIV")], "{": [("{", "OBR")],
    "}": [("}", "CBR")], "~": [("~", "TILD")],
}

# Bytes that start no token and are not white space: skipped, no column.
DIGITS = frozenset("0123456789")
TOKEN_START = set(OPERATORS) | set("$.@'\"([") | DIGITS | ID_START_CHARS
WHITE = set(" \t\b\r\n\f")
SKIP_RUN_RE = re.compile("[^%s]+" % re.escape("".join(sorted(TOKEN_START | WHITE))))


class Token:
    __slots__ = ("kind", "text", "line", "col", "start")

    def __init__(self, kind, text, line, col, start):
        self.kind, self.text, self.line, self.col, self.start = kind, text, line, col, start

    def __repr__(self):
        return '%s l=%d c=%d t=%r' % (self.kind, self.line, self.col, self.text)


MODERN_ESCAPE = r"(?:%s|\\s)" % ESCAPE
MODERN_CHAR_RE = re.compile(r"'(?:[^\\']|%s)'" % MODERN_ESCAPE)
MODERN_ESCAPE_RE = re.compile(MODERN_ESCAPE)
OUTSIDE_XML_RE = re.compile("[\x00-\x08\x0b\x0c\x0e-\x1f]")


def match_string(src, i, escape_re=ESCAPE_RE, zero_byte=False):
    """Length of the string literal at i, or 0 when there is none; with
    zero_byte (the modern levels) it may hold zero bytes."""
    j = i + 1
    n = len(src)
    while True:
        j = STRING_RUN_RE.match(src, j).end()
        if j >= n:
            return 0
        ch = src[j]
        if ch == '"':
            return j + 1 - i
        if ch == "\\":
            m = escape_re.match(src, j)
            if not m:
                return 0
            j = m.end()
        elif zero_byte:
            j += 1
        else:
            return 0


def scan(src, enum_keyword=True, modern=False):
    """Returns (tokens, comment records, marks) for the source text.
    Comment records are (line, raw text) per comment line; marks is a list of
    (start, end, reason) for bytes that break the physical column check."""
    tokens, comments, marks = [], [], []
    i, n, line, col = 0, len(src), 1, 1

    def emit(kind, length):
        nonlocal i, line, col
        text = src[i:i + length]
        nl = text.count("\n")
        line += nl
        tokens.append(Token(kind, text, line, col, i))
        if nl or "\r" in text or "\f" in text:
            marks.append((i, i + length, "multi-line token"))
        col += length
        i += length

    while i < n:
        ch = src[i]
        if ch == " " or ch == "\t" or ch == "\b":
            col += 1  # one byte, one column: no mark needed
            i += 1
        elif ch == "\n" or ch == "\r" or ch == "\f":
            if ch == "\n":
                line += 1
            else:
                marks.append((i, i + 1, "carriage return or form feed"))
            col = 1
            i += 1
        elif ch == "/" and src.startswith("/*", i):
            end = src.find("*/", i + 2)
            body_end = n if end < 0 else end
            parts = src[i + 2:body_end].split("\n")
            parts[0] = "/*" + parts[0]
            if end >= 0:
                parts[-1] += "*/"
            for k, part in enumerate(parts):
                comments.append((line + k, part.replace("\x00", "")))
            stop = n if end < 0 else end + 2
            line += len(parts) - 1
            marks.append((i, stop, "block comment"))
            i = stop
        elif ch == "/" and src.startswith("//", i):
            end = src.find("\n", i)
            if end < 0:
                end = n
            comments.append((line, src[i:end].replace("\x00", "")))
            marks.append((i, end, "line comment"))
            i = end
        elif ch in OPERATORS:
            if modern and src.startswith("->", i):
                emit("ARROW", 2)
                continue
            if modern and src.startswith("::", i):
                emit("COLCOL", 2)
                continue
            for text, kind in OPERATORS[ch]:
                if src.startswith(text, i):
                    emit(kind, len(text))
                    break
        elif ch in ID_START_CHARS or ch == "$" or (modern and "\xc2" <= ch <= "\xf4" and MODERN_ID_RE.match(src, i)):
            m = (MODERN_ID_RE if modern else ID_RE).match(src, i)
            if not m:  # a lone "$"
                emit("DOLLAR", 1)
                continue
            word = m.group()
            kind = KEYWORDS.get(word)
            if word == "enum":
                kind = "ENUM" if enum_keyword else "IDEN"
            emit(kind or "IDEN", len(word))
        elif ch in DIGITS or ch == ".":
            best = max((r.match(src, i) for r in (MODERN_NUMBER_RES if modern else NUMBER_RES)),
                       key=lambda m: m.end() if m else -1)
            length = best.end() - i if best else 0
            if ch == ".":
                if src.startswith("...", i) and length <= 3:
                    emit("ELL", 3)
                elif src.startswith(".*", i) and length <= 2:
                    emit("DOTSTAR", 2)
                elif length > 1:
                    emit("NUMLIT", length)
                else:
                    emit("DOT", 1)
            else:
                emit("NUMLIT", length)
        elif ch == "(":
            m = CAST_RE.match(src, i)
            if modern:
                longer = MODERN_CAST_RE.match(src, i)
                if longer and (not m or longer.end() > m.end()):
                    m = longer
            emit("CASTEXPR" if m else "OPR", m.end() - i if m else 1)
        elif ch == "[":
            m = DIM_RE.match(src, i)
            emit("DIM" if m else "OSQ", m.end() - i if m else 1)
        elif ch == "@":
            emit("AT_INTERFACE" if src.startswith("@interface", i) else "AT_SYM",
                 10 if src.startswith("@interface", i) else 1)
        elif ch == "'":
            m = (MODERN_CHAR_RE if modern else CHAR_RE).match(src, i)
            if m:
                emit("CHRLIT", m.end() - i)
            else:
                marks.append((i, i + 1, "skipped quote"))
                i += 1
        elif ch == '"' and modern and TEXT_BLOCK_RE.match(src, i):
            emit("TXTBLK", TEXT_BLOCK_RE.match(src, i).end() - i)
        elif ch == '"':
            length = match_string(src, i, MODERN_ESCAPE_RE if modern else ESCAPE_RE, modern)
            if length:
                emit("STRLIT", length)
            else:
                marks.append((i, i + 1, "skipped quote"))
                i += 1
        else:
            end = SKIP_RUN_RE.match(src, i).end()
            marks.append((i, end, "skipped byte"))
            i = end
    return tokens, comments, marks


# ---------------------------------------------------------------------------

def escape(text):
    return (text.replace("&", "&amp;").replace('"', "&quot;").replace("'", "&apos;")
            .replace("<", "&lt;").replace(">", "&gt;"))


LAYOUT_RE = re.compile(rb'<([A-Za-z_]+)>\n|</([A-Za-z_]+)>\n|<([A-Za-z_]+) l="([0-9]+)" c="([0-9]+)" t="([^"<>]*)"/>')
BAD_ENTITY_RE = re.compile(rb"&(?!(?:amp|quot|apos|lt|gt);)|'")


def check_expat(data, what):
    parser = xml.parsers.expat.ParserCreate()
    try:
        parser.Parse(data, True)
    except xml.parsers.expat.ExpatError as e:
        return "%s: XML parser: %s" % (what, e)
    return None


def read_tree(data, modern=False):
    """Checks the tree file; returns (problem or None, token list)."""
    try:
        d = zlib.decompressobj()
        text = d.decompress(data) + d.flush()
        if not d.eof:
            return "tree: zlib stream is cut off", []
        if d.unused_data:
            return "tree: %d bytes after the zlib stream" % len(d.unused_data), []
    except zlib.error as e:
        return "tree: not a zlib stream: %s" % e, []
    if not text.startswith(DECLARATION):
        return "tree: does not begin with the XML declaration line: %r" % text[:60], []
    problem = check_expat(text, "tree")
    if problem:
        return problem, []
    tokens = []
    stack = []  # (name, child names, line of its first token)
    pos, end = len(DECLARATION), len(text)
    seen_root = False
    match = LAYOUT_RE.match
    while pos < end:
        m = match(text, pos)
        if not m:
            return "tree: unexpected text at byte %d: %r" % (pos, text[pos:pos + 60]), tokens
        pos = m.end()
        opened, closed, token = m.group(1), m.group(2), m.group(3)
        if opened is not None:
            name = opened.decode()
            if name not in (MODERN_ELEMENT_SET if modern else ELEMENT_SET):
                return "tree: element %s is not a grammar element" % name, tokens
            if stack:
                stack[-1][1].append(name)
            elif seen_root or name != "Program":
                return "tree: root element is %s" % name, tokens
            seen_root = True
            stack.append((name, [], len(tokens)))
        elif closed is not None:
            name = closed.decode()
            if not stack or stack[-1][0] != name:
                return "tree: </%s> closes %s" % (name, stack[-1][0] if stack else "nothing"), tokens
            _, children, first = stack.pop()
            if not children and not (modern and name == "Program"):  # an empty file, at modern levels
                return "tree: empty element %s" % name, tokens
            if not derivable_cached(name, tuple(children), modern):
                return ("tree: no rule of %s gives the children %s (line %d)" %
                        (name, " ".join(children), tokens[first][1])), tokens
        else:
            name = token.decode()
            if name not in (MODERN_TOKEN_SET if modern else TOKEN_SET):
                return "tree: token element %s is not a token name" % name, tokens
            if not stack:
                return "tree: token %s outside Program" % name, tokens
            stack[-1][1].append(name)
            raw = m.group(6)
            if BAD_ENTITY_RE.search(raw):
                return "tree: token %s has a badly escaped t=%r" % (name, raw), tokens
            tokens.append((name, int(m.group(4)), int(m.group(5)), raw))
    if stack:
        return "tree: %s is not closed" % stack[-1][0], tokens
    if not seen_root:
        return "tree: no Program element", tokens
    return None, tokens


def physical_problems(src, ref, marks):
    """Checks l and, where nothing irregular precedes the token on its line,
    c against raw byte positions.  Yields problem texts."""
    marks.sort()  # disjoint spans, so sorted by start is sorted by end
    mi = 0
    line, line_start, last = 1, 0, 0
    for tok in ref:
        newlines = src.count("\n", last, tok.start)
        if newlines:
            line += newlines
            line_start = src.rindex("\n", last, tok.start) + 1
        last = tok.start
        while mi < len(marks) and marks[mi][1] <= line_start:
            mi += 1
        # A comment, skipped byte, carriage return, form feed or multi-line
        # token between the line start and the token makes c unverifiable.
        regular = mi >= len(marks) or marks[mi][0] >= tok.start
        if tok.line != line + tok.text.count("\n"):
            yield "physical line %d, token %r" % (line + tok.text.count("\n"), tok)
        if regular and tok.col != tok.start - line_start + 1:
            yield "physical column %d, token %r" % (tok.start - line_start + 1, tok)


def contextual_as_names(tree_tokens, ref):
    """The tree's tokens with its contextual keywords read as the names the
    reference scanner sees: a keyword becomes IDEN of the same text, and
    non-sealed the three tokens IDEN, SUB and IDEN (checked against the
    reference: written without blanks on one line)."""
    out = []
    for token in tree_tokens:
        name, line, col, raw = token
        if name in CONTEXTUAL_TOKENS and raw.decode("latin-1") == CONTEXTUAL_TOKENS[name]:
            out.append(("IDEN", line, col, raw))
        elif name == "NONSEALED" and raw == b"non-sealed":
            out.extend([("IDEN", line, col, b"non"), ("SUB", line, col + 3, b"-"), ("IDEN", line, col + 4, b"sealed")])
        else:
            out.append(token)
    return out


def check(src_bytes, tree_bytes, comments_bytes=None, results_bytes=None, enum_keyword=True, level=0):
    """Returns a dict: check name -> None (passed) or the first problem."""
    src = src_bytes.decode("latin-1")
    modern = level >= 6
    result = {"tree": None, "tokens": None, "physical": None}
    problem, tree_tokens = read_tree(tree_bytes, modern)
    if modern:
        tree_tokens = contextual_as_names(tree_tokens, None)
    result["tree"] = problem
    ref, ref_comments, marks = scan(src, enum_keyword, modern)
    if problem and not tree_tokens:
        result["tokens"] = "not checked: tree unreadable"
    else:
        for k in range(max(len(ref), len(tree_tokens))):
            got = tree_tokens[k] if k < len(tree_tokens) else None
            want = ref[k] if k < len(ref) else None
            shown = None
            if want:
                shown = escape(want.text)
                if modern and want.kind in ("STRLIT", "CHRLIT", "TXTBLK"):
                    shown = OUTSIDE_XML_RE.sub(lambda m: "\\%03o" % ord(m.group()), shown)
            if got and want and got == (want.kind, want.line, want.col, shown.encode("latin-1")):
                continue
            got_text = ("%s l=%d c=%d t=%r" % (got[0], got[1], got[2], got[3].decode("latin-1"))
                        if got else "end of tokens")
            want_text = ("%s l=%d c=%d t=%r" % (want.kind, want.line, want.col, shown)
                         if want else "end of tokens")
            result["tokens"] = "token %d: tree has %s, source has %s" % (k + 1, got_text, want_text)
            break
    # The physical check validates the reference scanner's l and c against
    # raw byte positions, so tree tokens that agree with it agree with both.
    for p in physical_problems(src, ref, marks):
        result["physical"] = "reference scanner: " + p
        break
    if comments_bytes is not None:
        result["comments"] = check_comments(comments_bytes, ref_comments)
    if results_bytes is not None:
        result["results"] = check_expat(results_bytes, "results")
    return result


CMT_RE = re.compile(rb'<cmt l="([0-9]+)" t="([^"<>]*)"/>')


def check_comments(data, ref_comments):
    """The comments file must be exactly the declaration, the records and
    the framing, byte for byte; the records' line ends are a carriage
    return and a text-mode line end, the framing's a text-mode line end."""
    problem = check_expat(data, "comments")
    if problem:
        return problem
    records = [b'<cmt l="%d" t="%s"/>\r\r\n' % (line, escape(text).encode("latin-1"))
               for line, text in ref_comments]
    expected = (DECLARATION.rstrip(b"\n") + b"<preprocessor>\r\n" + b"".join(records)
                + b"</preprocessor>\r\n")
    if data == expected:
        return None
    got = [(int(m.group(1)), m.group(2)) for m in CMT_RE.finditer(data)]
    for k in range(max(len(got), len(ref_comments))):
        g = got[k] if k < len(got) else None
        w = ref_comments[k] if k < len(ref_comments) else None
        wv = (w[0], escape(w[1]).encode("latin-1")) if w else None
        if g != wv:
            return "comment line %d: file has %r, source has %r" % (k + 1, g, wv)
    at = next(i for i in range(min(len(data), len(expected)) + 1)
              if data[i:i + 1] != expected[i:i + 1])
    return "comments file differs from the expected bytes at byte %d: %r, expected %r" % (
        at, data[max(0, at - 20):at + 20], expected[max(0, at - 20):at + 20])


# Byte runs that the scanner skips without producing a token: white space,
# comments and "other" bytes.  A block comment gets a blank in front, so
# that a division sign before it does not make a line comment.
SEPARATORS = [" ", "\t", "\b", "\r", "\n", "\r\n", "\f", "`", "\x00", "\x02", "\x7f", "\x80",
              "\xa0", "\xd7", "\xf7", " /* c */", " /* a\nb */", " /**/", " // x\n", " //\r\n"]


def perturb(src_bytes, rng, rate=0.15, modern=False):
    """The source with a random separator put before about one token in
    seven: the token stream stays the same, their lines and columns move
    (non-sealed, one keyword, stays whole)."""
    src = src_bytes.decode("latin-1")
    tokens, _, _ = scan(src, True, modern)
    out, last = [], 0
    for k, tok in enumerate(tokens):
        joined = modern and k > 0 and tokens[k - 1].text in ("non", "-") and tok.text in ("-", "sealed")
        if rng.random() < rate and not joined:
            out.append(src[last:tok.start])
            out.append(rng.choice(SEPARATORS))
            last = tok.start
    out.append(src[last:])
    return "".join(out).encode("latin-1")


def main():
    level = 0
    if len(sys.argv) > 2 and sys.argv[1] == "--level":
        level = int(sys.argv[2])
        del sys.argv[1:3]
    if len(sys.argv) not in (3, 4, 5):
        sys.exit(__doc__)
    with open(sys.argv[1], "rb") as f:
        src = f.read()
    with open(sys.argv[2], "rb") as f:
        tree = f.read()
    extra = []
    for path in sys.argv[3:]:
        with open(path, "rb") as f:
            extra.append(f.read())
    result = check(src, tree, *extra, level=level)
    bad = False
    for name, problem in result.items():
        print("%-9s %s" % (name, problem or "ok"))
        bad = bad or problem is not None
    sys.exit(1 if bad else 0)


if __name__ == "__main__":
    main()
