/* Grammar of the DOT layouts the drawing modes read.  Every reduction of a
   symbol whose name does not begin with an underscore makes one element of
   the parse tree; underscore symbols are transparent and only join their
   children.  Rules and alternatives keep this order: where the tables have a
   conflict, bison's defaults (shift over reduce, earlier rule over later
   rule) decide, and the trees depend on that. */

%require "3.8"
%define api.prefix {dot_yy}
%define api.pure full
%define api.value.type {tree::PieceList}
%param {dot::ParseContext& context}

/* Bison reports no shift/reduce conflict and one reduce/reduce conflict:
   after "subgraph name" with "{" ahead, _opt_id or the short form
   "subgraph name"; the earlier rule (_opt_id) wins, so the name belongs to
   the subgraph that follows.  A deterministic bison parser cannot declare
   an expected reduce/reduce count (%expect-rr is for GLR parsers and
   %expect demands none), so the test grammar_conflicts checks both counts. */

%code requires {
#include "frontends/tree/piece_tree.h"
namespace dot {
struct ParseContext;
}
}

%code provides {
int dot_yylex(DOT_YYSTYPE* value, dot::ParseContext& context);
void dot_yyerror(dot::ParseContext& context, const char* message);
}

%code {
#include "frontends/dot/parse_context.h"

/* Room for 100000 entries at first, doubled when full, up to 1000000;
   beyond that the parse fails as a syntax error does. */
#define YYINITDEPTH 100000
#define YYMAXDEPTH 1000000

namespace {

using tree::PieceList;

template <typename... Lists>
PieceList joined(dot::ParseContext& context, PieceList first, Lists... rest) {
  ((first = context.tree.join(first, rest)), ...);
  return first;
}

template <typename... Lists>
PieceList element(dot::ParseContext& context, const char* name, Lists... children) {
  return context.tree.element(name, joined(context, children...));
}

PieceList element(dot::ParseContext& context, const char* name) {
  return context.tree.element(name, PieceList{});
}

}  // namespace
}

%token CUO CUC SEMI EQ SQO SQC COMMA COLON CHAR_STR NUMBER HTML_STR ARROW MINMIN
%token COM_PT NODE EDGE GRAPH DIGRAPH SUBGRAPH STRICT STR_ST STR_CON STR_END

%start graph

%%

graph
  : STRICT grp_digrp _opt_id CUO _stmt_list CUC
      { $$ = element(context, "graph", $1, $2, $3, $4, $5, $6); context.accept($$); }
  | grp_digrp _opt_id CUO _stmt_list CUC
      { $$ = element(context, "graph", $1, $2, $3, $4, $5); context.accept($$); }
  ;

grp_digrp
  : GRAPH    { $$ = element(context, "grp_digrp", $1); }
  | DIGRAPH  { $$ = element(context, "grp_digrp", $1); }
  ;

_opt_id
  : %empty  { $$ = PieceList{}; }
  | id      { $$ = $1; }
  ;

_stmt_list
  : %empty                    { $$ = PieceList{}; }
  | stmt _opt_semi _stmt_list { $$ = joined(context, $1, $2, $3); }
  ;

_opt_semi
  : %empty  { $$ = PieceList{}; }
  | SEMI    { $$ = $1; }
  ;

stmt
  : node_stmt  { $$ = element(context, "stmt", $1); }
  | edge_stmt  { $$ = element(context, "stmt", $1); }
  | attr_stmt  { $$ = element(context, "stmt", $1); }
  | id EQ id   { $$ = element(context, "stmt", $1, $2, $3); }
  | subgraph   { $$ = element(context, "stmt", $1); }
  ;

attr_stmt
  : grp_nod_edg attr_list  { $$ = element(context, "attr_stmt", $1, $2); }
  ;

grp_nod_edg
  : GRAPH  { $$ = element(context, "grp_nod_edg", $1); }
  | NODE   { $$ = element(context, "grp_nod_edg", $1); }
  | EDGE   { $$ = element(context, "grp_nod_edg", $1); }
  ;

attr_list
  : SQO _opt_a_list SQC            { $$ = element(context, "attr_list", $1, $2, $3); }
  | SQO _opt_a_list SQC attr_list  { $$ = element(context, "attr_list", $1, $2, $3, $4); }
  ;

_opt_a_list
  : %empty                          { $$ = PieceList{}; }
  | a_list _opt_comma _opt_a_list   { $$ = joined(context, $1, $2, $3); }
  ;

a_list
  : id        { $$ = element(context, "a_list", $1); }
  | id EQ id  { $$ = element(context, "a_list", $1, $2, $3); }
  ;

_opt_comma
  : %empty  { $$ = PieceList{}; }
  | COMMA   { $$ = $1; }
  ;

edge_stmt
  : nod_subgrp edgerhs _opt_attr_list  { $$ = element(context, "edge_stmt", $1, $2, $3); }
  ;

nod_subgrp
  : node_id   { $$ = element(context, "nod_subgrp", $1); }
  | subgraph  { $$ = element(context, "nod_subgrp", $1); }
  ;

_opt_attr_list
  : %empty     { $$ = PieceList{}; }
  | attr_list  { $$ = $1; }
  ;

edgerhs
  : edgeop nod_subgrp _opt_edgrhs  { $$ = element(context, "edgerhs", $1, $2, $3); }
  ;

edgeop
  : ARROW   { $$ = element(context, "edgeop", $1); }
  | MINMIN  { $$ = element(context, "edgeop", $1); }
  ;

_opt_edgrhs
  : %empty   { $$ = PieceList{}; }
  | edgerhs  { $$ = $1; }
  ;

node_stmt
  : node_id _opt_attr_list  { $$ = element(context, "node_stmt", $1, $2); }
  ;

node_id
  : id opt_port  { $$ = element(context, "node_id", $1, $2); }
  ;

opt_port
  : %empty  { $$ = element(context, "opt_port"); }
  | port    { $$ = element(context, "opt_port", $1); }
  ;

port
  : COLON id _opt_col_comp  { $$ = element(context, "port", $1, $2, $3); }
  | COLON COM_PT            { $$ = element(context, "port", $1, $2); }
  ;

_opt_col_comp
  : %empty        { $$ = PieceList{}; }
  | COLON COM_PT  { $$ = joined(context, $1, $2); }
  ;

subgraph
  : CUO _stmt_list CUC                       { $$ = element(context, "subgraph", $1, $2, $3); }
  | SUBGRAPH _opt_id CUO _stmt_list CUC      { $$ = element(context, "subgraph", $1, $2, $3, $4, $5); }
  | SUBGRAPH id                              { $$ = element(context, "subgraph", $1, $2); }
  ;

id
  : CHAR_STR  { $$ = element(context, "id", $1); }
  | NUMBER    { $$ = element(context, "id", $1); }
  | _string   { $$ = element(context, "id", $1); }
  | HTML_STR  { $$ = element(context, "id", $1); }
  ;

_string
  : STR_ST _opt_str_cont STR_END  { $$ = joined(context, $1, $2, $3); }
  ;

_opt_str_cont
  : %empty                 { $$ = PieceList{}; }
  | STR_CON _opt_str_cont  { $$ = joined(context, $1, $2); }
  ;

%%

/* Nothing is reported: a failed parse shows only in the status file. */
void dot_yyerror(dot::ParseContext&, const char*) { std::fflush(stdout); }
